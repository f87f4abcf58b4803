#include "app/Http.h"

#include "support/HttpService.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(HttpTest, OnlyATwoHundredReplyIsAnAnswer) {
    const auto echo = http::Get(http::ServiceUrl(http::Service::IpEcho, "/ip.php"));
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->body, "127.0.0.1");
    EXPECT_FALSE(echo->cut);

    // An error page has a body, but it is not an answer.
    UpdateAnswers answers;
    EXPECT_FALSE(http::Get(answers.BaseUrl() + "/app-ext/version.php?os=linux"));
    answers.SetVersion("");
    const auto empty = http::Get(answers.BaseUrl() + "/app-ext/version.php?os=linux");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->body, "");

    const auto start = Clock::now();
    EXPECT_FALSE(http::Get("http://" + RefusingHost() + "/ip.php"));
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_FALSE(http::Get(""));
    EXPECT_FALSE(http::Get("ftp://127.0.0.1/ip.php"));
}

TEST(HttpTest, BodyIsReadUpToTheLimitOnly) {
    UpdateAnswers answers;
    const std::string text(5000, 'x');
    answers.SetChangelog(text);
    http::Limits limits;
    limits.max_body_bytes = 1000;
    const auto cut = http::Get(answers.BaseUrl() + "/app-ext/changelog.txt", limits);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->body, text.substr(0, 1000));
    EXPECT_TRUE(cut->cut);

    limits.max_body_bytes = 5000;
    const auto whole = http::Get(answers.BaseUrl() + "/app-ext/changelog.txt", limits);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->body, text);
    EXPECT_FALSE(whole->cut);
}

TEST(HttpTest, ServerThatNeverAnswersIsGivenUpAfterTheTimeoutOrWhenCancelled) {
    SilentServer silent;
    const std::string url = "http://" + silent.Host() + "/ip.php";
    auto start = Clock::now();
    EXPECT_FALSE(http::Get(url));
    const double waited = SecondsSince(start);
    EXPECT_GT(waited, 2.5);
    EXPECT_LT(waited, 5.0);

    std::atomic<bool> cancel{false};
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = true;
    });
    start = Clock::now();
    EXPECT_FALSE(http::Get(url, http::Limits{}, &cancel));
    EXPECT_LT(SecondsSince(start), 2.0);
    canceller.join();
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The ids of this process's children, as the kernel lists them per thread.
std::vector<pid_t> Children() {
    std::vector<pid_t> children;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::istringstream ids(ReadAll(task.path().string() + "/children"));
        for (pid_t id; ids >> id;)
            children.push_back(id);
    }
    return children;
}

// Requests are made by the helper program: this process never maps the HTTP client library, and
// a helper that dies or is missing costs the request, nothing else.
TEST(HttpTest, TheHelperMakesTheRequestAndItsDeathOrAbsenceOnlyCostsTheAnswer) {
    ASSERT_TRUE(http::Get(http::ServiceUrl(http::Service::IpEcho, "/ip.php")));
    EXPECT_EQ(ReadAll("/proc/self/maps").find("libcurl"), std::string::npos);

    SilentServer silent;
    std::optional<http::Reply> reply{http::Reply{}};
    const auto start = Clock::now();
    std::thread request([&] { reply = http::Get("http://" + silent.Host() + "/ip.php"); });
    std::vector<pid_t> helpers;
    while (helpers.empty() && SecondsSince(start) < 2.0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        helpers = Children();
    }
    if (helpers.size() == 1)
        ::kill(helpers[0], SIGKILL);
    request.join();
    ASSERT_EQ(helpers.size(), 1u);
    EXPECT_FALSE(reply);
    EXPECT_LT(SecondsSince(start), 2.0);
    EXPECT_TRUE(Children().empty());

    ScopedEnv missing("CORVANE_HTTP_HELPER", "/nonexistent/corvane-http");
    EXPECT_FALSE(http::Get(http::ServiceUrl(http::Service::IpEcho, "/ip.php")));
}

TEST(HttpTest, ServiceHostsComeFromTheEnvironmentOrTheBuild) {
    {
        ScopedEnv echo("CORVANE_IP_ECHO_HOST", "192.0.2.1:81/base");
        EXPECT_EQ(http::ServiceUrl(http::Service::IpEcho, "/ip.php"),
                  "http://192.0.2.1:81/base/ip.php");
        ScopedEnv update("CORVANE_UPDATE_HOST", "updates.test");
        EXPECT_EQ(http::ServiceUrl(http::Service::Update, "/download.php"),
                  "http://updates.test/download.php");
    }
    // Unset or empty, the build's settings hold.
    ScopedEnv empty("CORVANE_UPDATE_HOST", "");
    EXPECT_EQ(http::ServiceUrl(http::Service::Update, "/download.php"),
              "http://127.0.0.1:8080/download.php");
}

// The private nginx also serves the services over TLS, with a certificate for 127.0.0.1 from a
// CA of its own.
TEST(HttpTest, HttpsServiceIsVerifiedAgainstTheCaFileOrTheSystemsCas) {
    const char* host = std::getenv("CORVANE_TEST_HTTPS_HOST");
    const char* ca = std::getenv("CORVANE_TEST_HTTPS_CA");
    const char* other_ca = std::getenv("CORVANE_TEST_DB_CA");
    ASSERT_TRUE(host != nullptr && ca != nullptr && other_ca != nullptr)
        << "run through scripts/test";
    ScopedEnv echo("CORVANE_IP_ECHO_HOST", host);
    const std::string url = http::ServiceUrl(http::Service::IpEcho, "/ip.php");
    EXPECT_EQ(url, std::string(host) + "/ip.php");
    {
        ScopedEnv trusted("CORVANE_HTTP_CA", ca);
        const auto reply = http::Get(url);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->body, "127.0.0.1");
        // The certificate names 127.0.0.1, not localhost.
        std::string by_name = url;
        by_name.replace(by_name.find("127.0.0.1"), 9, "localhost");
        EXPECT_FALSE(http::Get(by_name));
    }
    // Neither the system's CAs nor another CA know the server's.
    ScopedEnv system_cas("CORVANE_HTTP_CA", "");
    EXPECT_FALSE(http::Get(url));
    ScopedEnv another("CORVANE_HTTP_CA", other_ca);
    EXPECT_FALSE(http::Get(url));
}

} // namespace
