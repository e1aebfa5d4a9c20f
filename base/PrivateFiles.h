// Folders and files only their owner may read: the settings, the history and
// the work files say which auctions the user follows and what they bid.
#pragma once

#include <filesystem>

// Makes the missing folders of path, each 0700. False when it is not a folder afterwards.
bool CreatePrivateFolders(const std::filesystem::path& folder);

// Makes file empty and 0600 when it does not exist; an existing one is left
// as it is. SQLite gives a database's -wal and -shm files the database's mode.
void CreatePrivateFile(const std::filesystem::path& file);

// Takes every right of group and others from folder and from each file in it
// (not below it, not through links); contents and owner rights stay.
void TightenPrivateFolder(const std::filesystem::path& folder);
