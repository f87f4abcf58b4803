-- The cloud database of Corvane and the account the program logs in with.
-- Safe to run again on an existing server: no row is dropped or replaced (an older index may be).
SET NAMES utf8mb4;

CREATE DATABASE IF NOT EXISTS corvane
    CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
USE corvane;

-- User names that differ only in letter case or trailing spaces are one name, so "Ann" and "ann "
-- cannot both register; any other difference (an accent, an emoji, a letter outside the Basic
-- Multilingual Plane) makes another name. The comparison is the Unicode 14 collation, accent-
-- sensitive and case-insensitive. Under it some names still compare equal although their
-- characters differ: characters that the collation ignores (zero-width spaces and joiners, the
-- soft hyphen, variation selectors, control characters), compatibility forms (full-width and
-- mathematical letters, ligatures, superscripts), canonically equal spellings (a letter with a
-- combining accent and the accented letter), hiragana and katakana, and a trailing no-break space.
CREATE TABLE IF NOT EXISTS users (
    uid INT UNSIGNED NOT NULL AUTO_INCREMENT,
    username VARCHAR(64) COLLATE utf8mb4_uca1400_as_ci NOT NULL,
    -- SHA1() of the password as 40 hexadecimal digits.
    password CHAR(40) CHARACTER SET ascii COLLATE ascii_bin NOT NULL,
    PRIMARY KEY (uid),
    UNIQUE KEY users_username (username)
) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4 COLLATE = utf8mb4_unicode_ci;

-- Content compares byte for byte (binary, no trailing-space padding): the program finds a
-- snippet it has just stored by comparing title, language and content with "=", and a text must
-- never stand for another. Titles and languages ignore case and accents (without padding), so
-- that a search for "quick" finds "Quick sort" and languages spelt "C" and "c" sort together;
-- the snippet trees still make one node per run of exactly equal languages.
CREATE TABLE IF NOT EXISTS snippets (
    sid INT UNSIGNED NOT NULL AUTO_INCREMENT,
    uid INT UNSIGNED NOT NULL,
    title VARCHAR(255) COLLATE utf8mb4_unicode_520_nopad_ci NOT NULL,
    language VARCHAR(64) COLLATE utf8mb4_unicode_520_nopad_ci NULL,
    content LONGTEXT COLLATE utf8mb4_nopad_bin NOT NULL,
    public TINYINT(1) NOT NULL DEFAULT 0,
    approved TINYINT(1) NOT NULL DEFAULT 0,
    views INT UNSIGNED NOT NULL DEFAULT 0,
    PRIMARY KEY (sid),
    -- A user's own snippets by language (the snippet trees, the new-sid lookup). It holds every
    -- column the trees' lists read, so a list reads only the user's index entries, in order,
    -- however many snippets other users have.
    KEY snippets_owner_list (uid, language, title, public),
    -- The public search, with or without a language. The title words are tested on the index
    -- entries, so only the rows found are read.
    KEY snippets_published (public, approved, language, title),
    -- The language list (one index entry per language), and the search in one language.
    KEY snippets_language (language, public, approved, title)
) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4 COLLATE = utf8mb4_unicode_ci;

-- A server made with the older owner's index (uid, language) gets the one above instead; run again,
-- this changes nothing.
ALTER TABLE snippets ADD INDEX IF NOT EXISTS snippets_owner_list (uid, language, title, public),
    DROP INDEX IF EXISTS snippets_owner;

-- The primary key also serves the lookups of one user's favourites.
CREATE TABLE IF NOT EXISTS favourites (
    uid INT UNSIGNED NOT NULL,
    sid INT UNSIGNED NOT NULL,
    PRIMARY KEY (uid, sid)
) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4 COLLATE = utf8mb4_unicode_ci;

-- Users logged in automatically from an IPv4 address (INET_ATON form). Every login with
-- "Remember me" adds a row, so an address can hold the same user twice; that is harmless. The id
-- is the primary key a Galera cluster needs on every table, and it numbers the rows in the order
-- they were added, so the lookup of an address still finds its oldest row first.
CREATE TABLE IF NOT EXISTS remember (
    id INT UNSIGNED NOT NULL AUTO_INCREMENT,
    uid INT UNSIGNED NOT NULL,
    ip INT UNSIGNED NOT NULL,
    PRIMARY KEY (id),
    KEY remember_ip (ip)
) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4 COLLATE = utf8mb4_unicode_ci;
-- A table made before the id existed gets it, numbered in the order its rows were added.
ALTER TABLE remember ADD COLUMN IF NOT EXISTS id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY FIRST;

-- The program's account gets only what its statements need, column by column where the server
-- allows it. Its password is compiled into every copy of the program, so whoever holds a copy can
-- log in with it; what it may do is therefore kept to the program's own statements:
--   users      SELECT (the login check compares the password digest in its WHERE clause, and the
--              name check reads whole rows, so hashes stay readable), INSERT of a new account's
--              name and digest. No UPDATE or DELETE: accounts cannot be changed or removed.
--   snippets   SELECT; INSERT naming only uid, title, language, content and public (a new private
--              snippet, a shared copy), so no row arrives approved or with a chosen id or view
--              count; UPDATE of content (saving), public (sharing) and views (viewing) only, so
--              no snippet can be approved or given to another owner; DELETE, which the snippet
--              tree uses to remove the user's own snippets (the statement names the owner, the
--              grant cannot).
--   favourites SELECT, INSERT, DELETE (marking and unmarking favourites).
--   remember   SELECT, INSERT (remember-me at login and the lookup at start).
-- Approving snippets is done outside the program, with an account of its own.
-- Everything is revoked first, so that running this file again also narrows an older, wider grant.
-- Deployments replace the password (it is also compiled into the program).
CREATE USER IF NOT EXISTS 'corvane'@'%' IDENTIFIED BY 'corvane-local';
REVOKE ALL PRIVILEGES, GRANT OPTION FROM 'corvane'@'%';
GRANT SELECT, INSERT (username, password) ON corvane.users TO 'corvane'@'%';
GRANT SELECT, INSERT (uid, title, language, content, public), UPDATE (content, public, views),
    DELETE ON corvane.snippets TO 'corvane'@'%';
GRANT SELECT, INSERT, DELETE ON corvane.favourites TO 'corvane'@'%';
GRANT SELECT, INSERT ON corvane.remember TO 'corvane'@'%';

-- Servers made with an older version of this file compare user names under a collation that takes
-- every character outside the Basic Multilingual Plane for the same one (and every accent for none).
-- Changing the column keeps its rows and its grants, and does nothing more when run again. It comes
-- last: should two existing names be equal under the new comparison, the server refuses the change
-- ("Duplicate entry") and leaves the table as it was, after everything above has been done; rename
-- one of the two accounts (as root), then load this file again.
ALTER TABLE users MODIFY username VARCHAR(64) CHARACTER SET utf8mb4
    COLLATE utf8mb4_uca1400_as_ci NOT NULL;
