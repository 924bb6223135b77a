// Environment: the application's Documents and temporary directories, standing in for the
// sandbox directories of the platform.
//
// The host names them with the setters before first use; tests may set them again at any time.
// Defaults: $XDG_DATA_HOME/QuenlarCloudAPI/Documents (or ~/.local/share/QuenlarCloudAPI/Documents)
// and $TMPDIR/QuenlarCloudAPI-<uid> (or /tmp/QuenlarCloudAPI-<uid>). The default temporary
// directory must be a directory of the user's own; when something else stands at that name
// (another user's directory, a link, a file), a fresh private directory beside it is used instead.
//
// Each getter creates the directory (mode 0700, with any missing parents) when it is missing, and
// answers its path even when creating it failed, so that the caller's own file operation reports
// the error. Safe from any thread.
#pragma once

#include <filesystem>

namespace tq::Environment {

std::filesystem::path documentsDirectory();
std::filesystem::path temporaryDirectory();

void setDocumentsDirectory(std::filesystem::path path);
void setTemporaryDirectory(std::filesystem::path path);

// The library's folder of the user's data, under which the default Documents and keychain
// directories lie: $XDG_DATA_HOME/QuenlarCloudAPI when that is an absolute path, else
// $HOME/.local/share/QuenlarCloudAPI, else /tmp/QuenlarCloudAPI. Read afresh on each call and
// never created here.
std::filesystem::path dataDirectory();

}  // namespace tq::Environment
