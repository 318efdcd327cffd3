-- Users and rights of a Tallix database on a PostgreSQL server.
--
-- Every Tallix user logs in as a server role of their own, whose password
-- the server checks (SCRAM); the two permission levels are two group roles,
-- and the server itself refuses what a level may not do, whatever program
-- the user connects with. Roles are shared by all databases of a server,
-- so the roles of this database carry its name:
--
--   <database>_super, <database>_common  the two levels (no login)
--   <database>_login                     lists the user names for the login
--                                        window and may read nothing else; its
--                                        password is public: tallix-user-list
--   <database>.<user name>               one per user; <database>.#<id> when the
--                                        name is empty, starts with # or does
--                                        not fit in a role name (63 bytes)
--
-- The server cannot keep an empty password, so a user whose Tallix password
-- is empty has the password tallix-empty-password on the server; the
-- program and the scripts put it in for them.
--
-- Loaded after server-schema.sql and seed.sql by the owner of the database,
-- who must be allowed to create roles (scripts/server-create-db.sh does it);
-- then "select * from tallix_setup_rights()" makes the roles and grants the
-- rights. A copy of the database (create database ... template ...) gets
-- roles of its own by running that again inside the copy.

BEGIN;

-- What this database's roles are named after: its name when the rights
-- were last set up. One row.
CREATE TABLE server_roles (
    prefix      varchar(40) NOT NULL
);

-- The role each user logs in as.
CREATE TABLE user_roles (
    id          integer PRIMARY KEY REFERENCES admin (id) ON DELETE CASCADE,
    rolname     varchar(63) NOT NULL UNIQUE
);

CREATE FUNCTION tallix_prefix() RETURNS text
LANGUAGE sql STABLE SET search_path = public, pg_temp
AS $$ SELECT prefix::text FROM server_roles LIMIT 1 $$;

-- The role a user logs in as, from the admin row's key and name.
CREATE FUNCTION tallix_role_name(p_id integer, p_name text) RETURNS text
LANGUAGE sql STABLE SET search_path = public, pg_temp
AS $$
    SELECT CASE WHEN n = '' OR left(n, 1) = '#' OR octet_length(tallix_prefix() || '.' || n) > 63
                THEN tallix_prefix() || '.#' || p_id
                ELSE tallix_prefix() || '.' || n END
    FROM (SELECT btrim(coalesce(p_name, ''), E' \t\r\n\f\v') AS n) t
$$;

CREATE FUNCTION tallix_is_member(p_role text, p_group text) RETURNS boolean
LANGUAGE sql STABLE SET search_path = public, pg_temp
AS $$
    SELECT EXISTS (SELECT 1 FROM pg_auth_members m
                   JOIN pg_roles g ON g.oid = m.roleid JOIN pg_roles r ON r.oid = m.member
                   WHERE g.rolname = p_group AND r.rolname = p_role)
$$;

-- Gives the role of admin row p_id the row's name and level, and the
-- password p_verifier when it is not null (a SCRAM verifier made by the
-- workstation: the clear password never reaches the server). True when
-- the role was made now.
CREATE FUNCTION tallix_sync_user(p_id integer, p_verifier text) RETURNS boolean
LANGUAGE plpgsql SET search_path = public, pg_temp
AS $$
DECLARE
    u record;
    want text;
    have text;
    made boolean := false;
    level_group text;
    other_group text;
BEGIN
    SELECT a.id, a.username, a.permit INTO u FROM admin a WHERE a.id = p_id;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'This user was deleted on another workstation.';
    END IF;
    want := tallix_role_name(u.id, u.username);
    SELECT r.rolname INTO have FROM user_roles r WHERE r.id = p_id;
    IF have IS NULL THEN
        IF EXISTS (SELECT 1 FROM user_roles r WHERE r.rolname = want) THEN
            RAISE EXCEPTION 'The username is exist ,Please change a username!';
        END IF;
        -- A role of this database without a user (left by a copy): the
        -- user takes it over, with the password it has.
        IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = want) THEN
            EXECUTE format('CREATE ROLE %I LOGIN', want);
            made := true;
        END IF;
        INSERT INTO user_roles (id, rolname) VALUES (p_id, want);
        have := want;
    ELSIF have <> want AND have <> session_user THEN
        -- Renamed. The session's own role keeps its name: the server
        -- cannot rename the role a session is logged in as.
        IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = want) THEN
            RAISE EXCEPTION 'The username is exist ,Please change a username!';
        END IF;
        EXECUTE format('ALTER ROLE %I RENAME TO %I', have, want);
        UPDATE user_roles SET rolname = want WHERE id = p_id;
        have := want;
    END IF;
    EXECUTE format('ALTER ROLE %I LOGIN', have);
    IF p_verifier IS NOT NULL THEN
        EXECUTE format('ALTER ROLE %I PASSWORD %L', have, p_verifier);
    END IF;
    IF u.permit = 0 THEN
        level_group := tallix_prefix() || '_super';
        other_group := tallix_prefix() || '_common';
    ELSE
        level_group := tallix_prefix() || '_common';
        other_group := tallix_prefix() || '_super';
    END IF;
    IF tallix_is_member(have, other_group) THEN
        EXECUTE format('REVOKE %I FROM %I', other_group, have);
    END IF;
    IF NOT tallix_is_member(have, level_group) THEN
        EXECUTE format('GRANT %I TO %I', level_group, have);
    END IF;
    RETURN made;
END $$;

-- Drops the roles of this database that no user logs in as any more
-- (a user deleted while logged in keeps the role until then).
CREATE FUNCTION tallix_tidy_roles() RETURNS void
LANGUAGE plpgsql SET search_path = public, pg_temp
AS $$
DECLARE
    r record;
    p constant text := tallix_prefix() || '.';
BEGIN
    FOR r IN SELECT rolname FROM pg_roles
             WHERE left(rolname, length(p)) = p AND rolname <> session_user
               AND rolname NOT IN (SELECT ur.rolname FROM user_roles ur) LOOP
        EXECUTE format('DROP ROLE %I', r.rolname);
    END LOOP;
END $$;

-- ---- What sessions may call -----------------------------------------------

-- The user names for the login window, in the order of the table, and the
-- role each logs in as.
CREATE FUNCTION tallix_user_names() RETURNS TABLE (id integer, username varchar, rolname varchar)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT a.id, a.username, r.rolname FROM admin a LEFT JOIN user_roles r ON r.id = a.id ORDER BY a.id
$$;

-- The user this session is logged in as.
CREATE FUNCTION tallix_me() RETURNS TABLE (id integer, username varchar, permit integer)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT a.id, a.username, a.permit FROM admin a JOIN user_roles r ON r.id = a.id
    WHERE r.rolname = session_user
$$;

-- The session user's name as owner columns hold it (trimmed, at most 20
-- characters), and whether it is a super user: what the row rules test.
CREATE FUNCTION tallix_user() RETURNS text
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT left(btrim(a.username, E' \t\r\n\f\v'), 20) FROM admin a JOIN user_roles r ON r.id = a.id
    WHERE r.rolname = session_user
$$;

CREATE FUNCTION tallix_is_super() RETURNS boolean
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$ SELECT tallix_is_member(session_user, tallix_prefix() || '_super') $$;

-- User management, for super users. The last super user can be neither
-- deleted nor made a common user: someone must be able to manage users.
CREATE FUNCTION tallix_add_user(p_name text, p_permit integer, p_verifier text) RETURNS integer
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    new_id integer;
BEGIN
    LOCK TABLE admin IN SHARE ROW EXCLUSIVE MODE;
    IF EXISTS (SELECT 1 FROM admin a WHERE btrim(a.username) = btrim(p_name)) THEN
        RAISE EXCEPTION 'The username is exist ,Please change a username!';
    END IF;
    INSERT INTO admin (username, permit) VALUES (p_name, p_permit) RETURNING admin.id INTO new_id;
    PERFORM tallix_sync_user(new_id, p_verifier);
    RETURN new_id;
END $$;

CREATE FUNCTION tallix_last_super(p_id integer) RETURNS boolean
LANGUAGE sql STABLE SET search_path = public, pg_temp
AS $$
    SELECT coalesce((SELECT permit = 0 FROM admin WHERE id = p_id), false)
           AND (SELECT count(*) FROM admin WHERE permit = 0) <= 1
$$;

-- p_verifier null keeps the password.
CREATE FUNCTION tallix_change_user(p_id integer, p_name text, p_permit integer, p_verifier text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    LOCK TABLE admin IN SHARE ROW EXCLUSIVE MODE;
    IF NOT EXISTS (SELECT 1 FROM admin WHERE id = p_id) THEN
        RAISE EXCEPTION 'This user was deleted on another workstation.';
    END IF;
    IF coalesce(p_permit, -1) <> 0 AND tallix_last_super(p_id) THEN
        RAISE EXCEPTION 'This is the last super user; it cannot be made a common user.';
    END IF;
    UPDATE admin SET username = p_name, permit = p_permit WHERE id = p_id;
    PERFORM tallix_sync_user(p_id, p_verifier);
END $$;

CREATE FUNCTION tallix_delete_user(p_id integer) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    r text;
    g text;
BEGIN
    LOCK TABLE admin IN SHARE ROW EXCLUSIVE MODE;
    IF tallix_last_super(p_id) THEN
        RAISE EXCEPTION 'This is the last super user; it cannot be deleted.';
    END IF;
    SELECT ur.rolname INTO r FROM user_roles ur WHERE ur.id = p_id;
    DELETE FROM admin WHERE id = p_id;
    IF r IS NOT NULL AND EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r) THEN
        IF r = session_user THEN
            -- Logged in as it now: it logs in no more and loses its
            -- rights; the role itself goes at the next tidying.
            EXECUTE format('ALTER ROLE %I NOLOGIN PASSWORD NULL', r);
            FOREACH g IN ARRAY ARRAY[tallix_prefix() || '_super', tallix_prefix() || '_common'] LOOP
                IF tallix_is_member(r, g) THEN
                    EXECUTE format('REVOKE %I FROM %I', g, r);
                END IF;
            END LOOP;
        ELSE
            EXECUTE format('DROP ROLE %I', r);
        END IF;
    END IF;
    PERFORM tallix_tidy_roles();
END $$;

-- ---- Set-up, by the owner --------------------------------------------------

-- Makes the roles of this database and grants every right a workstation
-- needs; safe to run again. Passwords for the users' roles come from, in
-- this order: a temporary table tallix_passwords (id, password) of clear
-- passwords, which the set-up scripts fill without the passwords passing
-- through a statement's text; the admin row's password column (seed rows),
-- which is emptied; the role of the database this one was copied from, when
-- the owner is a superuser. One row per user says how its password stands.
CREATE FUNCTION tallix_setup_rights() RETURNS TABLE (user_name varchar, password_state text)
LANGUAGE plpgsql SET search_path = public, pg_temp
AS $$
DECLARE
    p constant text := current_database();
    old constant text := tallix_prefix();
    super_group constant text := p || '_super';
    common_group constant text := p || '_common';
    lister constant text := p || '_login';
    g text;
    t record;
    u record;
    clear text;
    verifier text;
    role_name text;
    made boolean;
    with_clear constant boolean := to_regclass('pg_temp.tallix_passwords') IS NOT NULL;
    owner_is_superuser constant boolean := (SELECT rolsuper FROM pg_roles WHERE rolname = current_user);
BEGIN
    IF p !~ '^[A-Za-z0-9_-]{1,40}$' THEN
        RAISE EXCEPTION 'The database name % cannot name roles: use at most 40 letters, digits, _ or -', p;
    END IF;
    -- Passwords set here from clear text are made into verifiers by the
    -- server, always SCRAM.
    PERFORM set_config('password_encryption', 'scram-sha-256', true);

    FOREACH g IN ARRAY ARRAY[super_group, common_group] LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = g) THEN
            EXECUTE format('CREATE ROLE %I NOLOGIN', g);
        END IF;
    END LOOP;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = lister) THEN
        EXECUTE format('CREATE ROLE %I LOGIN', lister);
    END IF;
    EXECUTE format('ALTER ROLE %I LOGIN PASSWORD %L', lister, 'tallix-user-list');

    -- Only this database's roles connect; nobody but the owner makes objects.
    EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', p);
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO %I, %I, %I', p, super_group, common_group, lister);
    REVOKE CREATE ON SCHEMA public FROM PUBLIC;
    REVOKE ALL ON ALL TABLES IN SCHEMA public FROM PUBLIC;
    REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM PUBLIC;
    REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM PUBLIC;
    ALTER DEFAULT PRIVILEGES REVOKE EXECUTE ON FUNCTIONS FROM PUBLIC;
    -- A copy forgets the rights of the roles of the database it came from.
    IF old IS NOT NULL AND old <> p THEN
        FOREACH g IN ARRAY ARRAY[old || '_super', old || '_common', old || '_login'] LOOP
            IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = g) THEN
                EXECUTE format('REVOKE ALL ON ALL TABLES IN SCHEMA public FROM %I', g);
                EXECUTE format('REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM %I', g);
                EXECUTE format('REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM %I', g);
                EXECUTE format('ALTER DEFAULT PRIVILEGES IN SCHEMA public REVOKE ALL ON TABLES FROM %I', g);
                EXECUTE format('ALTER DEFAULT PRIVILEGES IN SCHEMA public REVOKE ALL ON SEQUENCES FROM %I', g);
            END IF;
        END LOOP;
    END IF;

    -- Both levels read and write the data; which customers and contacts a
    -- common user may change or delete, the row rules below say. The users
    -- table is read by super users only and changed through the functions
    -- above alone.
    FOR t IN SELECT tablename FROM pg_tables
             WHERE schemaname = 'public' AND tablename NOT IN ('admin', 'server_roles', 'user_roles') LOOP
        EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON %I TO %I, %I', t.tablename, super_group, common_group);
    END LOOP;
    EXECUTE format('GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO %I, %I', super_group, common_group);
    EXECUTE format('REVOKE ALL ON SEQUENCE admin_id_seq FROM %I, %I', super_group, common_group);
    EXECUTE format('GRANT SELECT ON admin TO %I', super_group);
    -- Tables a later version adds get the same rights.
    EXECUTE format('ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT, INSERT, UPDATE, DELETE ON TABLES TO %I, %I',
                   super_group, common_group);
    EXECUTE format('ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT USAGE, SELECT ON SEQUENCES TO %I, %I',
                   super_group, common_group);
    EXECUTE format('GRANT EXECUTE ON FUNCTION tallix_user_names() TO %I, %I, %I', super_group, common_group, lister);
    EXECUTE format('GRANT EXECUTE ON FUNCTION tallix_me(), tallix_user(), tallix_is_super() TO %I, %I',
                   super_group, common_group);
    EXECUTE format('GRANT EXECUTE ON FUNCTION tallix_add_user(text, integer, text), '
                   'tallix_change_user(integer, text, integer, text), tallix_delete_user(integer) TO %I',
                   super_group);

    DELETE FROM server_roles;
    INSERT INTO server_roles (prefix) VALUES (p);

    FOR u IN SELECT a.id, a.username, a.password, ur.rolname AS was
             FROM admin a LEFT JOIN user_roles ur ON ur.id = a.id ORDER BY a.id LOOP
        clear := NULL;
        verifier := NULL;
        IF with_clear THEN
            EXECUTE 'SELECT password FROM pg_temp.tallix_passwords WHERE id = $1' INTO clear USING u.id;
        END IF;
        -- A password the database file keeps as a salted hash is no clear text.
        IF clear IS NULL AND u.password IS NOT NULL AND left(u.password, 7) <> '$argon2' THEN
            clear := u.password;
        END IF;
        IF u.was IS NOT NULL AND left(u.was, length(p) + 1) <> p || '.' THEN
            -- A user of the database this one was copied from.
            IF clear IS NULL AND owner_is_superuser THEN
                EXECUTE 'SELECT rolpassword FROM pg_authid WHERE rolname = $1' INTO verifier USING u.was;
            END IF;
            DELETE FROM user_roles WHERE id = u.id;
        END IF;
        made := tallix_sync_user(u.id, verifier);
        SELECT ur.rolname INTO role_name FROM user_roles ur WHERE ur.id = u.id;
        user_name := u.username;
        IF clear IS NOT NULL THEN
            BEGIN
                EXECUTE format('ALTER ROLE %I PASSWORD %L', role_name,
                               CASE WHEN clear = '' THEN 'tallix-empty-password' ELSE clear END);
            EXCEPTION WHEN OTHERS THEN
                -- Said again without the statement, which holds the password.
                RAISE EXCEPTION 'The password of user % could not be set (%).', u.username, SQLSTATE;
            END;
            password_state := CASE WHEN clear = '' THEN 'empty password' ELSE 'password kept' END;
        ELSIF verifier IS NOT NULL THEN
            password_state := 'password kept';
        ELSIF made THEN
            password_state := 'needs a new password';
        ELSE
            password_state := 'password it had on the server';
        END IF;
        UPDATE admin SET password = NULL WHERE id = u.id AND password IS NOT NULL;
        RETURN NEXT;
    END LOOP;
    PERFORM tallix_tidy_roles();
END $$;

-- ---- Row rules ------------------------------------------------------------

-- Everybody reads every customer and contact; a common user adds, changes
-- and deletes only their own. Deleting their own customer takes its
-- contacts along, whoever owns them: a contact whose customer is gone may
-- be deleted by anyone.
ALTER TABLE custom ENABLE ROW LEVEL SECURITY;
CREATE POLICY custom_read ON custom FOR SELECT USING (true);
CREATE POLICY custom_add ON custom FOR INSERT
    WITH CHECK ((SELECT tallix_is_super()) OR f_user = (SELECT tallix_user()));
CREATE POLICY custom_change ON custom FOR UPDATE
    USING ((SELECT tallix_is_super()) OR f_user = (SELECT tallix_user()))
    WITH CHECK ((SELECT tallix_is_super()) OR f_user = (SELECT tallix_user()));
CREATE POLICY custom_delete ON custom FOR DELETE
    USING ((SELECT tallix_is_super()) OR f_user = (SELECT tallix_user()));

ALTER TABLE contact ENABLE ROW LEVEL SECURITY;
CREATE POLICY contact_read ON contact FOR SELECT USING (true);
CREATE POLICY contact_add ON contact FOR INSERT
    WITH CHECK ((SELECT tallix_is_super()) OR f_user = (SELECT tallix_user()));
CREATE POLICY contact_change ON contact FOR UPDATE
    USING ((SELECT tallix_is_super()) OR f_user = (SELECT tallix_user()))
    WITH CHECK ((SELECT tallix_is_super()) OR f_user = (SELECT tallix_user()));
CREATE POLICY contact_delete ON contact FOR DELETE
    USING ((SELECT tallix_is_super()) OR f_user = (SELECT tallix_user())
           OR NOT EXISTS (SELECT 1 FROM custom c
                          WHERE c.custid = CASE WHEN contact.custid ~ '^[0-9]{1,9}$'
                                                THEN contact.custid::integer END));

COMMIT;
