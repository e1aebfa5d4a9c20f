// The set-up both fetching windows make before each Get of a work file.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "base/HttpAddress.h"

class QTemporaryFile;
class TNMHTTP;

struct ProxySetting {
    bool on = false;  // the stored switch is exactly 1
    std::string host; // as stored; read only when on
    std::string port; // as typed
};

// Reads the proxy settings at the time of use.
ProxySetting ReadProxySetting();

// Body to the file named bodyFile, the target's host and port, the proxy as
// stored now. A proxy switched off clears the component's proxy, so the
// setting the user sees is the one in force. Throws EConvertError for a proxy
// port that is not a number (before anything is sent).
void PrepareGet(TNMHTTP& http, const HttpAddress& target, const std::string& bodyFile);

// The work files the windows fetch into.
inline constexpr const char* kWorkFileNames[] = {"http.txt", "img.jpg", "myauction.txt", "watch.txt", "board.txt"};

// Removes from folder the private downloads of the work files (and their
// half-made copies) that no running copy of the program holds: those a copy
// killed in the middle of a download left behind.
void RemoveStaleDownloads(const std::filesystem::path& folder);

// A work file of one run ("./http.txt"). The body is received into a private
// file beside it, which takes the work file's place only once complete: a
// failed or cancelled download leaves the last good work file, and copies of
// the program sharing a folder never read each other's half-written bytes.
// The run reads its own download, Path(), until this object ends; a copy
// started meanwhile may already have replaced the work file. The private file
// is locked (flock) while this object lives, so that other copies leave it be.
class WorkFile {
public:
    explicit WorkFile(std::string name);
    ~WorkFile(); // removes the private file
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;

    // The private file; empty before Fetch.
    const std::string& Path() const { return path_; }

    // PrepareGet into a fresh private file, Get(request), then (unless told
    // to leave it for later) Publish. Throws what they throw, or Exception
    // when the folder refuses a file.
    void Fetch(TNMHTTP& http, const HttpAddress& target, const std::string& request, bool publish = true);
    // The finished download takes the work file's place in one step.
    void Publish();

private:
    void CreateDownload();

    std::string name_;
    std::string path_;
    std::unique_ptr<QTemporaryFile> download_;
};
