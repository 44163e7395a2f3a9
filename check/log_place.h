#pragma once

#include <string>

namespace check {

// The folder the check log goes to for this run: the application folder when the log can stay
// there (a folder outside /usr that this user can write to, holding no snlog.html that this user
// cannot write), else the user's state folder by the XDG Base Directory rules:
// $XDG_STATE_HOME/sentrilo when that is an absolute path, else $HOME/.local/state/sentrilo.
// Empty when no absolute home is known either.
std::string chooseLogFolder(const std::string& applicationFolder);

// Creates the log's folder when it is missing, with its missing parents, each mode 0700 as the
// XDG rules ask; a folder that exists keeps its mode. Stops quietly where it cannot go on.
void makeLogFolder(const std::string& folder);

} // namespace check
