#pragma once
// Who may talk to the station: anyone on the machine itself when it listens on loopback, and
// otherwise only a client that shows the token from the user's private token file.
#include <optional>
#include <string>

// Whether a listen address reaches only this machine (127.0.0.0/8, ::1, "localhost").
bool IsLoopbackHost(const std::string& host);

struct TokenFile {
  std::optional<std::string> token;  // the file's first line, blanks around it removed
  std::string refusal;               // why it cannot serve as a token file
};

// Reads the token from a regular file that the user owns and that neither group nor others may
// read or write (anyone who could read it could drive the station; anyone who could write it
// could choose the token).
TokenFile ReadTokenFile(const std::string& path);

// Compares in time that depends only on the presented text's length, so a client cannot find
// the token a character at a time by timing its answers.
bool SameToken(const std::string& presented, const std::string& token);

// The token of an "Authorization: Bearer TOKEN" value; empty when the value is not that.
std::string BearerToken(const std::string& authorization);
