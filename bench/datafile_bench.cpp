// Data blocks and data files at the sizes of big machines:
//  - DescribeBlock of a block of 100 000 members (parse, check, list, number,
//    serial check), and the list walk alone, in values per second, beside
//    its floor: the data file and the format file read whole and one line
//    snprintf'd per value (and the snprintf loop alone); the description and
//    the floor each with fresh and with reused memory;
//  - what `paramtool describe` does with a data file whose block of 100 000
//    members is LZO-compressed (the file's check, the block's decompression,
//    the description) beside the same floor;
//  - VerifyDataFile of a 256 MB data file in MB/s beside zlib's crc32 over the
//    same bytes in memory.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "logs/TraceLog.h"
#include "format/DataBlock.h"
#include "format/DataPrinter.h"
#include "format/FieldDescriptor.h"
#include "params/DataFileVerification.h"
#include "params/LocalListingTexts.h"
#include "platform/File.h"
#include "platform/TempDirectory.h"

#include <malloc.h>
#include <unistd.h>

#include "FixedAllocatorMain.h"
#include "support/DataFileWriter.h"

namespace {
const int kMembers = 100000;
const size_t kFileBytes = 256u << 20;

// One of four kinds per member: int, double, DWORD, WORD[2] (two values).
struct BigBlock {
    std::string dir, format, listing, data;
    std::vector<unsigned char> bytes;
    int values = 0;

    BigBlock()
    {
        SetTraceFileEnabled(false);
        dir = SystemTempDirectory();
        format = dir + "bench-" + std::to_string(getpid()) + ".fmt";
        listing = dir + "bench-" + std::to_string(getpid()) + ".lst";
        data = dir + "bench-" + std::to_string(getpid()) + ".blk";
        std::string text = "field CController\n{\n";
        size_t size = 0;
        for (int i = 0; i < kMembers; ++i) {
            switch (i % 4) {
            case 0: text += "    int m_n" + std::to_string(i) + " /* -g " + std::to_string(2 * i) + " */;\n"; size = (size + 3) / 4 * 4 + 4; ++values; break;
            case 1: text += "    double m_d" + std::to_string(i) + " /* -g " + std::to_string(2 * i) + " -u mm */;\n"; size = (size + 7) / 8 * 8 + 8; ++values; break;
            case 2: text += "    DWORD m_dw" + std::to_string(i) + " /* -g " + std::to_string(2 * i) + " */;\n"; size = (size + 3) / 4 * 4 + 4; ++values; break;
            default: text += "    WORD m_w" + std::to_string(i) + "[2] /* -g " + std::to_string(2 * i) + " */;\n"; size = (size + 1) / 2 * 2 + 4; values += 2; break;
            }
        }
        text += "};\n";
        FILE* f = fopen(format.c_str(), "wb");
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
        bytes.resize(size);
        uint32_t x = 12345;
        for (auto& b : bytes) {
            x = x * 1103515245u + 12345u;
            b = static_cast<unsigned char>(x >> 16);
        }
        // Doubles that print in full: small finite values, not random bit patterns.
        CFormatParser parser;
        parser.Parse(format);
        for (const CDataMember& m : parser.FindFieldType("CController")->m_members)
            if (m.m_nTypeIndex == btDouble) {
                double d = m.m_nOffset / 7.0;
                memcpy(bytes.data() + m.m_nOffset, &d, 8);
            }
        WriteWholeFile(data, bytes.data(), bytes.size());
    }
    ~BigBlock()
    {
        remove(format.c_str());
        remove(listing.c_str());
        remove(data.c_str());
    }
};

// Two ways a description meets memory, measured apart for the description
// and its floor alike: fresh, as a run of paramtool describing one block
// (every page is touched for the first time), and reused, as the setup
// describing its data files one after another. The allocator keeps what is
// freed (main); a fresh round first gives it all back.
void StartRound(benchmark::State& state, bool fresh)
{
    if (!fresh)
        return;
    state.PauseTiming();
    malloc_trim(0);
    state.ResumeTiming();
}

BigBlock& Block()
{
    static BigBlock block;
    return block;
}

void BM_DescribeBlock(benchmark::State& state, bool fresh)
{
    BigBlock& b = Block();
    for (auto _ : state) {
        StartRound(state, fresh);
        CFieldDescriptor d(LocalListingTexts());
        if (!d.DescribeBlock(b.listing, "CController", b.bytes.data(), static_cast<int>(b.bytes.size()), b.format))
            state.SkipWithError("DescribeBlock failed");
        CSerialNumberCheck check = d.CheckSerialNumbers();
        SerialNumberFinding finding;
        while (check.Next(finding))
            benchmark::DoNotOptimize(finding.message.size());
        benchmark::DoNotOptimize(d.m_items.size());
    }
    state.counters["values/s"] = benchmark::Counter(static_cast<double>(b.values) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_DescribeBlock, fresh, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DescribeBlock, reused, false)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same block as the control program writes it: a data file whose
// CController record is LZO-compressed.
struct BigDataFile {
    std::string path;
    BigDataFile()
    {
        path = SystemTempDirectory() + "bench-" + std::to_string(getpid()) + "-lzo.dat";
        DataFileWriter writer;
        writer.AddRecord("CController", Block().bytes, DataFileWriter::compressed);
        writer.WriteFile(path);
    }
    ~BigDataFile() { remove(path.c_str()); }
};

// paramtool describe DATA FORMAT in one process: the file's check, the block
// read and decompressed, the description with its listing and serial check.
void BM_DescribeDataFile(benchmark::State& state)
{
    BigBlock& b = Block();
    static BigDataFile file;
    for (auto _ : state) {
        StartRound(state, true);
        if (!IsDataFileWhole(file.path))
            state.SkipWithError("the data file fails its check");
        std::vector<unsigned char> block;
        if (!ReadDataBlock(file.path, "CController", block))
            state.SkipWithError("no block");
        CFieldDescriptor d(LocalListingTexts());
        d.m_bKeepValueItems = false; // as paramtool describe
        if (!d.DescribeBlock(b.listing, "CController", block.data(), static_cast<int>(block.size()), b.format))
            state.SkipWithError("DescribeBlock failed");
        CSerialNumberCheck check = d.CheckSerialNumbers();
        SerialNumberFinding finding;
        while (check.Next(finding))
            benchmark::DoNotOptimize(finding.message.size());
        benchmark::DoNotOptimize(d.m_items.size());
    }
    state.counters["values/s"] = benchmark::Counter(static_cast<double>(b.values) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DescribeDataFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The list walk and numbering without the format's parse.
void BM_ListWalk(benchmark::State& state)
{
    BigBlock& b = Block();
    CFieldDescriptor d(LocalListingTexts());
    d.DescribeBlock(b.listing, "CController", b.bytes.data(), static_cast<int>(b.bytes.size()), b.format);
    for (auto _ : state) {
        d.ClearItems();
        d.m_formats.Clear();
        CDataPrinter printer(&d);
        printer.ListType(*d.m_pFieldType, b.bytes.data());
        d.NumberItems();
        d.TrimItemTexts();
        CSerialNumberCheck check = d.CheckSerialNumbers();
        SerialNumberFinding finding;
        while (check.Next(finding))
            benchmark::DoNotOptimize(finding.message.size());
        benchmark::DoNotOptimize(d.m_items.size());
    }
    state.counters["values/s"] = benchmark::Counter(static_cast<double>(b.values) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ListWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

// One line per value, snprintf'd from names and offsets known beforehand:
// the work both references below do. Returns the number of bytes printed.
size_t PrintValuesPlainly(const CFieldType& field, const unsigned char* bytes)
{
    char line[128];
    size_t total = 0;
    for (const CDataMember& m : field.m_members) {
        const unsigned char* at = bytes + m.m_nOffset;
        int n = 0;
        if (m.m_nTypeIndex == btInt) {
            int32_t v;
            memcpy(&v, at, 4);
            n = snprintf(line, sizeof line, "%s = %d\n", m.m_strName.c_str(), v);
        } else if (m.m_nTypeIndex == btDouble) {
            double v;
            memcpy(&v, at, 8);
            n = snprintf(line, sizeof line, "%s = %.16g\n", m.m_strName.c_str(), v);
        } else if (m.m_nTypeIndex == btUInt) {
            uint32_t v;
            memcpy(&v, at, 4);
            n = snprintf(line, sizeof line, "%s = 0x%08X\n", m.m_strName.c_str(), v);
        } else {
            for (int i = 0; i < 2; ++i) {
                uint16_t v;
                memcpy(&v, at + 2 * i, 2);
                n += snprintf(line, sizeof line, "%s[%d] = 0x%04X\n", m.m_strName.c_str(), i, v);
            }
        }
        total += static_cast<size_t>(n);
    }
    return total;
}

// The floor: snprintf of the same values in their forms, into one buffer.
void BM_SnprintfBaseline(benchmark::State& state)
{
    BigBlock& b = Block();
    CFormatParser parser;
    parser.Parse(b.format);
    const CFieldType* field = parser.FindFieldType("CController");
    for (auto _ : state) {
        size_t total = PrintValuesPlainly(*field, b.bytes.data());
        benchmark::DoNotOptimize(total);
    }
    state.counters["values/s"] = benchmark::Counter(static_cast<double>(b.values) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SnprintfBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of DescribeBlock: the data file and the format file read whole,
// then one line snprintf'd per value from names and offsets known beforehand.
void BM_DescribeFloor(benchmark::State& state, bool fresh)
{
    BigBlock& b = Block();
    CFormatParser parser;
    parser.Parse(b.format);
    const CFieldType* field = parser.FindFieldType("CController");
    for (auto _ : state) {
        StartRound(state, fresh);
        std::vector<unsigned char> formatText, block;
        if (!ReadWholeFile(b.format, formatText) || !ReadWholeFile(b.data, block))
            state.SkipWithError("read failed");
        size_t total = formatText.size();
        total += PrintValuesPlainly(*field, block.data());
        benchmark::DoNotOptimize(total);
    }
    state.counters["values/s"] = benchmark::Counter(static_cast<double>(b.values) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_DescribeFloor, fresh, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DescribeFloor, reused, false)->Unit(benchmark::kMillisecond)->UseRealTime();

struct BigFile {
    std::string path;
    std::vector<unsigned char> bytes; // the whole file, header included
    BigFile()
    {
        path = SystemTempDirectory() + "bench-" + std::to_string(getpid()) + ".dat";
        bytes.resize(kFileBytes);
        uint64_t x = 88172645463325252ull;
        for (size_t i = 8; i + 8 <= bytes.size(); i += 8) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            memcpy(&bytes[i], &x, 8);
        }
        memcpy(bytes.data(), "FFLC", 4);
        uint32_t crc = static_cast<uint32_t>(crc32(0L, bytes.data() + 8, static_cast<uInt>(bytes.size() - 8)));
        memcpy(bytes.data() + 4, &crc, 4);
        FILE* f = fopen(path.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    ~BigFile() { remove(path.c_str()); }
};

BigFile& File256()
{
    static BigFile file;
    return file;
}

void BM_VerifyDataFile256MB(benchmark::State& state)
{
    BigFile& f = File256();
    for (auto _ : state) {
        if (!VerifyDataFile(f.path))
            state.SkipWithError("not whole");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.bytes.size()));
}
BENCHMARK(BM_VerifyDataFile256MB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_ZlibCrc32InMemory256MB(benchmark::State& state)
{
    BigFile& f = File256();
    for (auto _ : state) {
        uLong crc = crc32(0L, f.bytes.data() + 8, static_cast<uInt>(f.bytes.size() - 8));
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.bytes.size()));
}
BENCHMARK(BM_ZlibCrc32InMemory256MB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
} // namespace

int main(int argc, char** argv)
{
    return RunWithFixedAllocator(argc, argv);
}
