#include "editor/Languages.h"

#include <wx/wxcrt.h>

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace languages {

namespace {

// The styled-text control's lexer numbers (its wxSTC_LEX_* constants, a GUI header).
enum Lexer : int {
    kPythonLexer = 2,
    kHtmlLexer = 4,
    kXmlLexer = 5,
    kPerlLexer = 6,
    kSqlLexer = 7,
    kMakefileLexer = 11,
    kLuaLexer = 15,
    kDiffLexer = 16,
    kRubyLexer = 22,
    kCssLexer = 38,
    kYamlLexer = 48,
    kBashLexer = 62,
    kPhpLexer = 69,
    kCmakeLexer = 80,
    kMarkdownLexer = 98,
    kRustLexer = 111,
    kJsonLexer = 120,
};

using Styles = std::vector<StyleToken>;

// The styles of each kind of token.
Styles Tokens(std::initializer_list<std::pair<Token, std::initializer_list<int>>> kinds) {
    Styles styles;
    for (const auto& [token, numbers] : kinds) {
        for (const int style : numbers)
            styles.push_back({style, token});
    }
    return styles;
}

Styles With(Styles styles, const Styles& more) {
    styles.insert(styles.end(), more.begin(), more.end());
    return styles;
}

const char* const kJavaScriptKeywords =
    "async await break case catch class const continue debugger default delete do else export "
    "extends false finally for function if import in instanceof let new null of return static "
    "super switch this throw true try typeof undefined var void while with yield";

// One row a language: its name, the names that choose it, its lexer, its keyword sets (by the
// lexer's set number) and its lexer's styles by kind of token.
// clang-format off
std::vector<Language> MakeTable() {
    // The C/C++ setup's styles, and a few it leaves plain that these languages use: "///"
    // comments, C# verbatim strings, JavaScript regular expressions.
    const Styles c_like = Tokens({{kComment, {1, 2}}, {kDocComment, {3, 15}}, {kNumber, {4}},
        {kKeyword, {5}}, {kString, {6, 13, 14}}, {kCharacter, {7}}, {kPreprocessor, {9}},
        {kOperator, {10}}, {kIdentifier, {11}}});
    // The HTML lexer's markup styles, which XML and the text around PHP share.
    const Styles markup = Tokens({{kKeyword, {1, 2, 11}}, {kIdentifier, {3, 4}}, {kNumber, {5}},
        {kString, {6, 7, 17, 19, 24, 25}}, {kOperator, {8}}, {kComment, {9, 29, 30}},
        {kCharacter, {10, 28}}, {kPreprocessor, {12, 13, 18, 21, 22, 23}}});
    return {
        {"Python", "python python2 python3 py", kPythonLexer,
         {{0, "False None True and as assert async await break class continue def del elif else "
              "except finally for from global if import in is lambda nonlocal not or pass raise "
              "return try while with yield"}},
         Tokens({{kComment, {1, 12}}, {kNumber, {2}}, {kString, {3, 4, 6, 7, 13}},
                 {kKeyword, {5, 14}}, {kIdentifier, {8, 9, 11}}, {kOperator, {10}},
                 {kPreprocessor, {15}}})},
        {"Shell", "shell sh bash zsh ksh dash shellscript", kBashLexer,
         {{0, "if then else elif fi case esac for select while until do done in function time "
              "break continue return exit export local readonly declare typeset unset shift "
              "source alias echo printf read test cd set trap eval exec let true false"}},
         Tokens({{kComment, {2}}, {kNumber, {3}}, {kKeyword, {4}}, {kString, {5, 6, 11, 12, 13}},
                 {kOperator, {7}}, {kIdentifier, {8, 9, 10}}})},
        // The SQL lexer compares its words in lower case.
        {"SQL", "sql mysql mariadb postgresql sqlite plsql tsql", kSqlLexer,
         {{0, "add all alter and any as asc auto_increment begin between bigint blob boolean by "
              "cascade case char check column commit constraint create cross database date "
              "datetime decimal default delete desc distinct double drop else end exists float "
              "foreign from full group having if in index inner insert int integer into is join "
              "key left like limit not null offset on or order outer primary references right "
              "rollback select set smallint table text then timestamp transaction truncate union "
              "unique update values varchar view when where with"}},
         Tokens({{kComment, {1, 2, 13, 15}}, {kDocComment, {3}}, {kNumber, {4}},
                 {kKeyword, {5, 16}}, {kString, {6, 7}}, {kOperator, {10}},
                 {kIdentifier, {11, 23}}})},
        {"JavaScript", "javascript js jsx mjs node nodejs", editor_style::kLexerCpp,
         {{0, kJavaScriptKeywords}}, c_like},
        {"TypeScript", "typescript ts tsx", editor_style::kLexerCpp,
         {{0, "abstract any as async await boolean break case catch class const continue "
              "debugger declare default delete do else enum export extends false finally for "
              "function if implements import in infer instanceof interface keyof let namespace "
              "never new null number of private protected public readonly return static string "
              "super switch symbol this throw true try type typeof undefined unknown var void "
              "while with yield"}},
         c_like},
        {"Java", "java", editor_style::kLexerCpp,
         {{0, "abstract assert boolean break byte case catch char class const continue default "
              "do double else enum extends false final finally float for goto if implements "
              "import instanceof int interface long native new null package private protected "
              "public record return short static strictfp super switch synchronized this throw "
              "throws transient true try var void volatile while yield"}},
         c_like},
        {"C#", "c# csharp cs", editor_style::kLexerCpp,
         {{0, "abstract as async await base bool break byte case catch char checked class const "
              "continue decimal default delegate do double else enum event explicit extern false "
              "finally fixed float for foreach get goto if implicit in int interface internal is "
              "lock long namespace new null object operator out override params private "
              "protected public readonly ref return sbyte sealed set short sizeof stackalloc "
              "static string struct switch this throw true try typeof uint ulong unchecked "
              "unsafe ushort using var virtual void volatile where while yield"}},
         c_like},
        {"Go", "go golang", editor_style::kLexerCpp,
         {{0, "bool break byte case chan complex128 complex64 const continue default defer else "
              "error fallthrough false float32 float64 for func go goto if import int int16 int32 "
              "int64 int8 interface iota map nil package range return rune select string struct "
              "switch true type uint uint16 uint32 uint64 uint8 uintptr var"}},
         c_like},
        {"Rust", "rust rs", kRustLexer,
         {{0, "as async await bool break char const continue crate dyn else enum extern f32 f64 "
              "false fn for i128 i16 i32 i64 i8 if impl in isize let loop match mod move mut pub "
              "ref return self Self static str struct super trait true type u128 u16 u32 u64 u8 "
              "unsafe use usize where while"}},
         Tokens({{kComment, {1, 2}}, {kDocComment, {3, 4}}, {kNumber, {5}}, {kKeyword, {6, 7}},
                 {kString, {13, 14, 21, 22}}, {kCharacter, {15, 23}}, {kOperator, {16}},
                 {kIdentifier, {17, 18}}, {kPreprocessor, {19}}})},
        {"Ruby", "ruby rb", kRubyLexer,
         {{0, "BEGIN END __FILE__ __LINE__ alias and begin break case class def defined? do else "
              "elsif end ensure false for if in module next nil not or redo rescue retry return "
              "self super then true undef unless until when while yield"}},
         Tokens({{kComment, {2}}, {kDocComment, {3}}, {kNumber, {4}}, {kKeyword, {5}},
                 {kString, {6, 7, 12, 18, 20, 21, 22, 23, 24, 25, 26, 27, 28}},
                 {kCharacter, {14}}, {kOperator, {10}},
                 {kIdentifier, {8, 9, 11, 13, 15, 16, 17, 29}}})},
        {"Perl", "perl pl", kPerlLexer,
         {{0, "and bless chomp close defined delete die do each else elsif eq eval exists for "
              "foreach ge gt if join keys last le local lt my ne next no not open or our package "
              "pop print printf push redo ref require return scalar shift sort split sub undef "
              "unless unshift until use values wantarray warn while"}},
         Tokens({{kComment, {2}}, {kDocComment, {3, 31}}, {kNumber, {4}}, {kKeyword, {5}},
                 {kString, {6, 7, 17, 18, 19, 20, 23, 24, 25, 26, 27, 28, 29, 30, 43, 54, 55, 57,
                            61, 62, 64, 65, 66}},
                 {kPreprocessor, {9}}, {kOperator, {8, 10}}, {kIdentifier, {11, 12, 13, 14, 15}}})},
        // The PHP lexer reads code with or without "<?php", and HTML around "?>".
        {"PHP", "php", kPhpLexer,
         {{4, "abstract and array as break callable case catch class clone const continue "
              "declare default do echo else elseif empty enddeclare endfor endforeach endif "
              "endswitch endwhile extends false final finally fn for foreach function global goto "
              "if implements include include_once instanceof insteadof interface isset list "
              "match namespace new null or print private protected public readonly require "
              "require_once return static switch throw trait true try unset use var while xor "
              "yield"}},
         With(markup, Tokens({{kString, {104, 119, 120, 126}}, {kKeyword, {121}},
                              {kNumber, {122}}, {kIdentifier, {123}}, {kComment, {124, 125}},
                              {kOperator, {127}}}))},
        {"Lua", "lua", kLuaLexer,
         {{0, "and break do else elseif end false for function goto if in local nil not or "
              "repeat return then true until while"}},
         Tokens({{kComment, {1, 2}}, {kDocComment, {3}}, {kNumber, {4}}, {kKeyword, {5, 13}},
                 {kString, {6, 7, 8, 12}}, {kPreprocessor, {9}}, {kOperator, {10}},
                 {kIdentifier, {11, 20}}})},
        // Without a list of tags every tag is known; scripts are read as JavaScript.
        {"HTML", "html htm xhtml", kHtmlLexer, {{1, kJavaScriptKeywords}},
         With(markup, Tokens({{kComment, {42, 43}}, {kDocComment, {44}}, {kNumber, {45}},
                              {kIdentifier, {46}}, {kKeyword, {47}}, {kString, {48, 49, 51, 52}},
                              {kOperator, {50}}}))},
        {"XML", "xml xsd xsl xslt svg", kXmlLexer, {}, markup},
        {"CSS", "css", kCssLexer, {},
         Tokens({{kComment, {9}}, {kKeyword, {6, 7, 11, 15, 17, 19}},
                 {kIdentifier, {1, 2, 3, 4, 10, 16, 18, 20, 21, 23}}, {kNumber, {8}},
                 {kString, {13, 14}}, {kOperator, {5}}, {kPreprocessor, {12, 22}}})},
        {"JSON", "json", kJsonLexer, {{0, "false null true"}},
         Tokens({{kNumber, {1}}, {kString, {2, 3, 9, 10}}, {kCharacter, {5}}, {kIdentifier, {4}},
                 {kComment, {6, 7}}, {kOperator, {8}}, {kKeyword, {11, 12}}})},
        {"YAML", "yaml yml", kYamlLexer, {{0, "false no null off on true yes"}},
         Tokens({{kComment, {1}}, {kIdentifier, {2, 5}}, {kKeyword, {3}}, {kNumber, {4}},
                 {kPreprocessor, {6}}, {kString, {7}}, {kOperator, {9}}})},
        {"Makefile", "makefile make mk gnumakefile", kMakefileLexer, {},
         Tokens({{kComment, {1}}, {kPreprocessor, {2}}, {kIdentifier, {3}}, {kOperator, {4}},
                 {kKeyword, {5}}})},
        // The CMake lexer compares its commands in lower case.
        {"CMake", "cmake cmakelists", kCmakeLexer,
         {{0, "add_compile_options add_custom_command add_custom_target add_definitions "
              "add_dependencies add_executable add_library add_subdirectory add_test "
              "cmake_minimum_required configure_file enable_testing file find_library "
              "find_package find_path find_program function get_filename_component include "
              "include_directories install list macro message option project return set "
              "set_property set_target_properties string target_compile_definitions "
              "target_compile_options target_include_directories target_link_libraries unset"}},
         Tokens({{kComment, {1}}, {kString, {2, 3, 4, 13}}, {kKeyword, {5, 9, 10, 11, 12}},
                 {kIdentifier, {7}}, {kNumber, {14}}})},
        {"Markdown", "markdown md", kMarkdownLexer, {},
         Tokens({{kKeyword, {2, 3, 6, 7, 8, 9, 10, 11}}, {kOperator, {13, 14, 17}},
                 {kComment, {15, 16}}, {kNumber, {18}}, {kString, {19, 20, 21}}})},
        // Removed lines red and added lines green, as operators and preprocessor lines are.
        {"Diff", "diff patch", kDiffLexer, {},
         Tokens({{kComment, {1}}, {kKeyword, {2, 3}}, {kNumber, {4}}, {kOperator, {5}},
                 {kPreprocessor, {6}}, {kCharacter, {7}}})},
    };
}
// clang-format on

// The name as the table writes it: lower case, blanks removed.
wxString Normalised(const wxString& name) {
    wxString key;
    for (const wxUniChar c : name) {
        if (!wxIsspace(c))
            key += c;
    }
    return key.Lower();
}

} // namespace

const std::vector<Language>& Table() {
    // Built at the first lookup of a language by name, not at start-up.
    static const std::vector<Language> table = MakeTable();
    return table;
}

const Language* Find(const wxString& name) {
    const wxString key = Normalised(name);
    if (key.empty())
        return nullptr;
    for (const Language& language : Table()) {
        const wxString names = wxString(" ") + language.names + " ";
        if (names.Contains(" " + key + " "))
            return &language;
    }
    return nullptr;
}

const editor_style::StyleColours& Colours(Token token) {
    const std::vector<editor_style::StyleColours>& cpp = editor_style::Colours();
    return *std::find_if(cpp.begin(), cpp.end(), [token](const editor_style::StyleColours& c) {
        return c.style == static_cast<int>(token);
    });
}

} // namespace languages
