-- Users and the functions each one may not use. Passwords are kept only
-- as Argon2id hashes. type ADMINISTRATOR marks an administrator.
CREATE TABLE Users (
    UserName TEXT PRIMARY KEY COLLATE NOCASE,
    type TEXT COLLATE NOCASE,
    PasswordHash TEXT NOT NULL
);

-- ProhibitFunID is the ID of the function's row in tbl_LANGUAGE.
CREATE TABLE UserProhibitFun (
    UserName TEXT COLLATE NOCASE NOT NULL,
    ProhibitFunID INTEGER NOT NULL,
    PRIMARY KEY (UserName, ProhibitFunID)
);
