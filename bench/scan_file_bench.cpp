// One measured step of the scan file bench (bench/scan_file_bench.sh runs
// each in its own process under /usr/bin/time for the peak memory):
//   bench_scan_file walk TREE       the window's walk (data objects, no rows)
//   bench_scan_file import FILE     a scan file read into the same objects
//   bench_scan_file sax-rapidjson FILE | sax-nlohmann FILE
//                                   the two SAX readers over the file alone,
//                                   counting events (the reader's choice)
// Prints "STEP seconds entries".
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>
#include <rapidjson/filereadstream.h>
#include <rapidjson/reader.h>

#include "app/FolderScanner.h"
#include "app/scanfile/ScanTree.h"

using namespace Velmora;

namespace {
std::int64_t CountEntries(CFolderScanner& scanner)
{
    std::int64_t count = 0;
    for (CFolderData* drive : scanner.GetDrives()) {
        std::vector<CFolderData*> stack{drive};
        while (!stack.empty()) {
            CFolderData* folder = stack.back();
            stack.pop_back();
            count += 1 + static_cast<std::int64_t>(folder->GetFiles().size());
            for (CFolderData* child : folder->GetFolders())
                stack.push_back(child);
        }
    }
    return count;
}

struct CRapidCounter : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, CRapidCounter> {
    std::int64_t objects = 0;
    bool StartObject()
    {
        ++objects;
        return true;
    }
};

struct CNlohmannCounter : nlohmann::json_sax<nlohmann::json> {
    std::int64_t objects = 0;
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override
    {
        ++objects;
        return true;
    }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
};
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_scan_file walk TREE | import FILE | sax-rapidjson FILE | sax-nlohmann FILE\n");
        return 2;
    }
    const std::string step = argv[1];
    const auto start = std::chrono::steady_clock::now();
    std::int64_t entries = 0;
    if (step == "walk" || step == "import") {
        std::unique_ptr<CFolderScanner> scanner;
        if (step == "walk")
            scanner = std::make_unique<CFolderScanner>(std::vector<std::string>{argv[2]});
        else
            scanner = std::make_unique<CFolderScanner>(CFolderScanner::FromImport{}, std::make_shared<ScanFile::CScanImport>(argv[2]),
                                                       std::make_shared<CLocalFileSystem>());
        scanner->Start();
        scanner->Wait(0xFFFFFFFFu);
        entries = CountEntries(*scanner);
    } else if (step == "sax-rapidjson") {
        FILE* file = std::fopen(argv[2], "rb");
        if (!file)
            return 1;
        char buffer[1 << 16];
        rapidjson::FileReadStream stream(file, buffer, sizeof buffer);
        CRapidCounter counter;
        rapidjson::Reader reader;
        reader.Parse<rapidjson::kParseIterativeFlag>(stream, counter);
        std::fclose(file);
        entries = counter.objects;
    } else if (step == "sax-nlohmann") {
        std::ifstream in(argv[2], std::ios::binary);
        CNlohmannCounter counter;
        nlohmann::json::sax_parse(in, &counter);
        entries = counter.objects;
    } else {
        return 2;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s %.3f %lld\n", step.c_str(), seconds, static_cast<long long>(entries));
    return 0;
}
