// Makes a realistic test tree, the same for the same seed:
//   bench_make_tree DIR [SCALE] [SEED]
//   bench_make_tree DIR --huge FILES [SEED]
// SCALE 1 gives about 110,000 entries; 10 about 1.1 million. Big folders of
// 50,000 / 12,000 / 5,000 files (times SCALE/10), many small folders, a deep
// chain, names with spaces and non-ASCII bytes, sparse large files, links.
// --huge: DIR/huge holding FILES files of random sizes and nothing else, the
// worst case of sorted inserts into one folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {
long g_entries = 0;

void MakeFile(const fs::path& path, std::size_t bytes)
{
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return;
    if (bytes > 0 && ftruncate(fd, static_cast<off_t>(bytes)) != 0)
        std::perror("ftruncate");
    close(fd);
    ++g_entries;
}

void MakeDir(const fs::path& path)
{
    fs::create_directories(path);
    ++g_entries;
}

const char* const kNames[] = {"report", "Übersicht", "photo 2024", "данные", "notes", "música", "build", "日本語"};
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [SCALE] [SEED]\n       %s DIR --huge FILES [SEED]\n", argv[0], argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    if (argc > 3 && std::string(argv[2]) == "--huge") {
        const long files = std::atol(argv[3]);
        std::mt19937 random(argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 2026u);
        MakeDir(root);
        const fs::path folder = root / "huge";
        MakeDir(folder);
        for (long i = 0; i < files; ++i)
            MakeFile(folder / ("file " + std::to_string(i)), random() % 65536);
        std::printf("%ld entries under %s\n", g_entries, root.c_str());
        return 0;
    }
    const double scale = argc > 2 ? std::atof(argv[2]) : 1.0;
    std::mt19937 random(argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 2026u);
    MakeDir(root);
    // Big flat folders.
    const int big[] = {50000, 12000, 5000};
    for (int b = 0; b < 3; ++b) {
        const fs::path folder = root / ("big " + std::to_string(b));
        MakeDir(folder);
        const int count = static_cast<int>(big[b] * scale / 10);
        for (int i = 0; i < count; ++i)
            MakeFile(folder / (std::string(kNames[i % 8]) + " " + std::to_string(i) + ".dat"), random() % 4096);
    }
    // Many small folders, three levels.
    const int small = static_cast<int>(2800 * scale);
    for (int i = 0; i < small; ++i) {
        const fs::path folder = root / ("tree" + std::to_string(i % 20)) / ("dir " + std::to_string(i % 97)) /
                                (std::string(kNames[i % 8]) + std::to_string(i));
        MakeDir(folder);
        const int files = 5 + static_cast<int>(random() % 60);
        for (int f = 0; f < files; ++f)
            MakeFile(folder / ("f" + std::to_string(f) + (f % 3 ? ".txt" : ".bin")), random() % 65536);
    }
    // A deep chain.
    fs::path deep = root / "deep";
    for (int level = 0; level < 200; ++level) {
        deep /= "level" + std::to_string(level);
        MakeDir(deep);
        MakeFile(deep / "leaf", 10);
    }
    // Sparse large files and links.
    const fs::path sparse = root / "sparse";
    MakeDir(sparse);
    for (int i = 0; i < 3; ++i)
        MakeFile(sparse / ("disk image " + std::to_string(i) + ".img"), (std::size_t{1} << 30) * (i + 1));
    std::error_code error;
    fs::create_directory_symlink("..", sparse / "loop", error);
    fs::create_symlink(root / "big 0", sparse / "to big", error);
    g_entries += 2;
    std::printf("%ld entries under %s\n", g_entries, root.c_str());
    return 0;
}
