-- Demonstration accounts and snippets, for a fresh database created by schema.sql.
-- Rows carry fixed ids and are inserted with IGNORE, so loading the file twice adds nothing.
--
-- Accounts (user name / password):
--   alice / wonderland
--   bob   / builder42
--   carol / c4r0l-demo
SET NAMES utf8mb4;
USE corvane;

INSERT IGNORE INTO users (uid, username, password) VALUES
    (1, 'alice', SHA1('wonderland')),
    (2, 'bob', SHA1('builder42')),
    (3, 'carol', SHA1('c4r0l-demo'));

-- public = 0: private; public = 1, approved = 0: shared but not yet searchable;
-- public = 1, approved = 1: found by the public search.
INSERT IGNORE INTO snippets (sid, uid, title, language, content, public, approved, views) VALUES
    (1, 1, 'Swap two ints', 'C',
     'void swap(int *a, int *b)\n{\n    int t = *a;\n    *a = *b;\n    *b = t;\n}\n', 1, 1, 12),
    (2, 1, 'Read a whole file', 'C',
     '#include <stdio.h>\n#include <stdlib.h>\n\nchar *read_file(const char *path, long *size)\n{\n    FILE *f = fopen(path, "rb");\n    if (!f)\n        return NULL;\n    fseek(f, 0, SEEK_END);\n    *size = ftell(f);\n    rewind(f);\n    char *buf = malloc(*size + 1);\n    if (buf && fread(buf, 1, *size, f) == (size_t)*size)\n        buf[*size] = \'\\0\';\n    fclose(f);\n    return buf;\n}\n',
     0, 0, 0),
    (3, 1, 'Quick sort', 'C++',
     '#include <algorithm>\n#include <vector>\n\ntemplate <typename It>\nvoid quick_sort(It first, It last)\n{\n    if (last - first < 2)\n        return;\n    auto pivot = *(first + (last - first) / 2);\n    It middle1 = std::partition(first, last, [&](const auto& x) { return x < pivot; });\n    It middle2 = std::partition(middle1, last, [&](const auto& x) { return !(pivot < x); });\n    quick_sort(first, middle1);\n    quick_sort(middle2, last);\n}\n',
     1, 1, 31),
    (4, 1, 'Scope guard', 'C++',
     'template <typename F>\nclass scope_guard {\npublic:\n    explicit scope_guard(F f) : f_(f) {}\n    ~scope_guard() { f_(); }\n    scope_guard(const scope_guard&) = delete;\n    scope_guard& operator=(const scope_guard&) = delete;\n\nprivate:\n    F f_;\n};\n',
     1, 0, 0),
    (5, 2, 'Word count', 'Python',
     'import collections\nimport sys\n\ncounts = collections.Counter(sys.stdin.read().split())\nfor word, n in counts.most_common(10):\n    print(f"{n:6} {word}")\n',
     1, 1, 7),
    (6, 2, 'Retry with back-off', 'Python',
     'import time\n\ndef retry(fn, attempts=5, delay=0.5):\n    for i in range(attempts):\n        try:\n            return fn()\n        except OSError:\n            if i == attempts - 1:\n                raise\n            time.sleep(delay * 2 ** i)\n',
     0, 0, 0),
    (7, 2, 'Reverse a string', 'Go',
     'func Reverse(s string) string {\n\tr := []rune(s)\n\tfor i, j := 0, len(r)-1; i < j; i, j = i+1, j-1 {\n\t\tr[i], r[j] = r[j], r[i]\n\t}\n\treturn string(r)\n}\n',
     1, 1, 4),
    (8, 3, 'Fan-out workers', 'Go',
     'func Work(jobs <-chan int, results chan<- int, n int) {\n\tvar wg sync.WaitGroup\n\tfor i := 0; i < n; i++ {\n\t\twg.Add(1)\n\t\tgo func() {\n\t\t\tdefer wg.Done()\n\t\t\tfor j := range jobs {\n\t\t\t\tresults <- j * j\n\t\t\t}\n\t\t}()\n\t}\n\twg.Wait()\n\tclose(results)\n}\n',
     1, 0, 0),
    (9, 3, 'Memoised Fibonacci', 'Ruby',
     'def fib(n, memo = {})\n  return n if n < 2\n  memo[n] ||= fib(n - 1, memo) + fib(n - 2, memo)\nend\n\nputs fib(80)\n',
     1, 1, 19),
    (10, 3, 'Group by first letter', 'Ruby',
     'words = %w[apple avocado banana blueberry cherry]\nputs words.group_by { |w| w[0] }.inspect\n',
     0, 0, 0),
    (11, 3, 'Café menu (UTF-8 title)', 'Python',
     'menu = {"café": 2.5, "thé": 2.0, "crème brûlée": 4.5}\nfor item, price in menu.items():\n    print(f"{item}: {price:.2f} €")\n',
     1, 1, 2);

INSERT IGNORE INTO favourites (uid, sid) VALUES
    (1, 5),
    (1, 9),
    (2, 3),
    (2, 1),
    (3, 3),
    (3, 7);
