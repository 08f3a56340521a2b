#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "system.h"
#include "varrow.h"

namespace varrow::cli {

namespace {

// The folder that holds path ("." for a bare name).
std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// "major:minor" of a device number, as the kernel's block device folders
// name it.
std::string DeviceName(dev_t device) {
    return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// The device number in a sysfs "dev" file.
bool ReadDeviceNumber(const std::string& file, dev_t* device) {
    std::ifstream in(file);
    unsigned major = 0;
    unsigned minor = 0;
    char colon = 0;
    if (!(in >> major >> colon >> minor) || colon != ':') return false;
    *device = makedev(major, minor);
    return true;
}

// Whether the block device holder is source, a partition of source, or a
// volume (device mapper, RAID) built on either, as the kernel's sysfs tells.
bool RestsOn(dev_t holder, dev_t source, int depth = 0) {
    if (holder == source) return true;
    if (depth > 8) return false;
    const std::string folder = "/sys/dev/block/" + DeviceName(holder);
    dev_t parent = 0;
    // A partition's folder lies inside its disk's folder.
    if (access((folder + "/partition").c_str(), F_OK) == 0 &&
        ReadDeviceNumber(folder + "/../dev", &parent) && RestsOn(parent, source, depth + 1)) {
        return true;
    }
    DIR* slaves = opendir((folder + "/slaves").c_str());
    if (!slaves) return false;
    bool found = false;
    while (const dirent* entry = readdir(slaves)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        dev_t slave = 0;
        if (ReadDeviceNumber(folder + "/slaves/" + name + "/dev", &slave) &&
            RestsOn(slave, source, depth + 1)) {
            found = true;
            break;
        }
    }
    closedir(slaves);
    return found;
}

}  // namespace

const char* const kDeviceSourceHelp = "a block device such as /dev/sdb";

SourceFacts ExamineSource(const std::string& path) {
    SourceFacts facts;
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return facts;
    if (S_ISREG(status.st_mode)) {
        facts.kind = SourceKind::File;
        facts.size = static_cast<uint64_t>(status.st_size);
    } else if (S_ISBLK(status.st_mode)) {
        facts.kind = SourceKind::BlockDevice;
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            if (!GetDeviceLength(fd, &facts.size)) facts.size = 0;
            close(fd);
        }
    } else if (S_ISCHR(status.st_mode)) {
        facts.kind = SourceKind::CharacterDevice;
    } else if (S_ISDIR(status.st_mode)) {
        facts.kind = SourceKind::Folder;
    } else {
        facts.kind = SourceKind::Other;
    }
    return facts;
}

bool WritesOnSource(const std::string& path, const std::string& source) {
    struct stat sourceStatus {};
    if (stat(source.c_str(), &sourceStatus) != 0) return false;
    struct stat target {};
    const bool exists = stat(path.c_str(), &target) == 0;
    if (exists && target.st_dev == sourceStatus.st_dev && target.st_ino == sourceStatus.st_ino)
        return true;
    if (!S_ISBLK(sourceStatus.st_mode)) return false;
    if (exists && S_ISBLK(target.st_mode) && target.st_rdev == sourceStatus.st_rdev) return true;
    // A new file goes to the file system of the folder that will hold it.
    struct stat holder {};
    const std::string where = exists ? path : ParentOf(path);
    if (stat(where.c_str(), &holder) != 0) return false;
    return RestsOn(holder.st_dev, sourceStatus.st_rdev);
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

PrivateTempFolder::PrivateTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (base && *base) ? base : "/tmp";
    if (pattern.back() != '/') pattern += '/';
    pattern += "varrow-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
}

PrivateTempFolder::~PrivateTempFolder() { Dispose(); }

void PrivateTempFolder::Use() const {
    if (!path_.empty()) setenv("TMPDIR", path_.c_str(), 1);
}

void PrivateTempFolder::Dispose() {
    if (path_.empty() || disposed_) return;
    disposed_ = true;
    // Renamed first: the engine makes its files by the folder's path, so
    // from here on a new one cannot appear in what is being removed.
    const std::string doomed = path_ + ".gone";
    const std::string& folder = rename(path_.c_str(), doomed.c_str()) == 0 ? doomed : path_;
    if (DIR* listing = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") unlink((folder + "/" + name).c_str());
        }
        closedir(listing);
    }
    rmdir(folder.c_str());
}

void RemoveOwnStagingFiles(const std::string& folder) {
    const std::string prefix = ".ostrel-" + std::to_string(getpid()) + "-";
    DIR* listing = opendir(folder.c_str());
    if (!listing) return;
    std::vector<std::string> subfolders;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) == 0) {
            unlink((folder + "/" + name).c_str());
        } else if (name.compare(0, 13, "Recovered_Msg") == 0) {
            subfolders.push_back(folder + "/" + name);
        }
    }
    closedir(listing);
    for (const std::string& subfolder : subfolders) {
        struct stat status {};
        // Only real folders: a link there would lead elsewhere.
        if (lstat(subfolder.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            RemoveOwnStagingFiles(subfolder);
    }
}

}  // namespace varrow::cli
