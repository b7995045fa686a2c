// The bare cost of a tree of files on this disk: makes, under FOLDER, every
// folder and file of a listing as `rwpack list` prints it ("D path",
// "F path size ..."), each file written in one go with nothing else done.
// scripts/bench-hostile runs it beside `rwpack extract` of the same archive
// to judge the extraction by the ratio rather than by the disk.
//
//   bare_files LISTING FOLDER

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Larger files are written as this many bytes: the bare loop times names, not data.
const unsigned long kMaxSize = 1 << 20;

struct SEntry {
    bool folder;
    std::string path;
    unsigned long size;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bare_files LISTING FOLDER\n");
        return 2;
    }
    std::ifstream listing(argv[1]);
    std::vector<SEntry> entries;
    for (std::string line; std::getline(listing, line);) {
        std::istringstream fields(line);
        std::string kind, path;
        unsigned long size = 0;
        fields >> kind >> path >> size;
        if ((kind == "D" || kind == "F") && !path.empty() && path.find("..") == std::string::npos)
            entries.push_back({kind == "D", path, size < kMaxSize ? size : kMaxSize});
    }
    const std::string root = argv[2];
    mkdir(root.c_str(), 0777);
    const std::string data(kMaxSize, 'x');
    int failed = 0;
    for (const SEntry& entry : entries) {
        const std::string path = root + "/" + entry.path;
        if (entry.folder) {
            failed += mkdir(path.c_str(), 0777) == 0 ? 0 : 1;
            continue;
        }
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0 || write(fd, data.data(), entry.size) != ssize_t(entry.size))
            ++failed;
        if (fd >= 0)
            close(fd);
    }
    std::printf("%zu entries made, %d failed\n", entries.size(), failed);
    return failed ? 1 : 0;
}
