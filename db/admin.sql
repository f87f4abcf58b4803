-- The moderators' account, with which corvane-admin approves and rejects shared snippets.
-- Load it after schema.sql. Safe to run again: the account is narrowed to exactly these grants.
--   snippets   SELECT (the waiting list, one snippet's fields and content); UPDATE of approved
--              and public only (approving, and rejecting, which takes a snippet off the shared
--              list). No INSERT or DELETE: moderators neither add nor remove snippets.
--   users      SELECT of uid and username only, to name a snippet's author; the password
--              digests stay unreadable.
-- Nothing on favourites or remember. Deployments replace the password (ALTER USER).
CREATE USER IF NOT EXISTS 'corvane_admin'@'%' IDENTIFIED BY 'corvane-admin-local';
REVOKE ALL PRIVILEGES, GRANT OPTION FROM 'corvane_admin'@'%';
GRANT SELECT, UPDATE (approved, public) ON corvane.snippets TO 'corvane_admin'@'%';
GRANT SELECT (uid, username) ON corvane.users TO 'corvane_admin'@'%';
