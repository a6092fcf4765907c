// Writes the data files of the paramtool describe check: every scalar of the
// controller block of FORMAT gets a value of its own, the block is split into
// stored and LZO chunks after a zero-byte record, and a damaged copy with a
// whole backup is laid out beside it.
//   describe_sample DIR FORMAT
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "format/FormatParser.h"
#include "platform/File.h"
#include "support/DataFileWriter.h"

#ifdef _WIN32
#include <windows.h>
#define MAKE_DIR(p) CreateDirectoryA((p).c_str(), nullptr)
#else
#include <sys/stat.h>
#define MAKE_DIR(p) mkdir((p).c_str(), 0755)
#endif

namespace {
int g_leaf = 0;

void PutLeRaw(unsigned char* at, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void FillLeaf(const CDataType& type, unsigned char* at)
{
    int k = ++g_leaf;
    switch (type.m_nBuiltin) {
    case btBool: at[0] = static_cast<unsigned char>(k % 3); break;
    case btChar:
    case btUChar: at[0] = static_cast<unsigned char>(k % 2 ? 'A' + k % 26 : 0x80 + k); break;
    case btShort:
    case btUShort: PutLeRaw(at, static_cast<uint64_t>(-1000 * k), 2); break;
    case btDouble: {
        double d = k % 4 == 3 ? 1.0 / 3.0 : k * 1.25 - 7.0;
        uint64_t bits;
        memcpy(&bits, &d, 8);
        PutLeRaw(at, bits, 8);
        break;
    }
    case btFloat: {
        float f = static_cast<float>(k) / 8.0f;
        uint32_t bits;
        memcpy(&bits, &f, 4);
        PutLeRaw(at, bits, 4);
        break;
    }
    case btInt64:
    case btUInt64: PutLeRaw(at, 0x0123456789ABCDEFull * static_cast<uint64_t>(k) - 5000000000ull, 8); break;
    case btPlcBitAddr: {
        static const uint32_t forms[] = {12u << 16 | 7, 10000u << 16 | 5, 10002u << 16 | 1300, 0xFFFFFFFFu,
                                         2000u << 16 | 3};
        PutLeRaw(at, forms[k % 5], 4);
        break;
    }
    default: PutLeRaw(at, static_cast<uint64_t>(static_cast<int64_t>(k * 37 - 400)), 4); break;
    }
}

void Fill(const CFormatParser& parser, const CBaseType& type, unsigned char* at)
{
    for (const CDataMember& m : type.m_members) {
        const CDataType& t = parser.EffectiveType(m);
        unsigned char* base = at + m.m_nOffset;
        if (m.IsTextMember()) {
            std::string text = "T" + std::to_string(++g_leaf);
            memcpy(base, text.data(), text.size() < static_cast<size_t>(m.m_nArrayCount) ? text.size() : 0);
            continue;
        }
        for (int i = 0; i < m.ElementCount(); ++i) {
            if (t.IsStructure())
                Fill(parser, t, base + i * t.m_pSize);
            else
                FillLeaf(t, base + i * t.m_pSize);
        }
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: describe_sample DIR FORMAT\n");
        return 2;
    }
    std::string dir = argv[1];
    CFormatParser parser;
    if (!parser.Parse(argv[2]))
        return 1;
    const CFieldType* field = parser.FindFieldType("CController");
    if (!field)
        return 1;
    std::vector<unsigned char> block(static_cast<size_t>(field->m_pSize), 0);
    Fill(parser, *field, block.data());

    DataFileWriter w;
    w.AddRecord("CControl", {}, DataFileWriter::stored);
    w.AddRecord("CConfig", std::vector<unsigned char>(4, 7), DataFileWriter::compressed);
    w.AddRecord("CController", block, DataFileWriter::stored, 50, true);
    w.AddRecord("CController2", std::vector<unsigned char>(20000, 1), DataFileWriter::compressed);
    if (!w.WriteFile(dir + "/tornelix.dat"))
        return 1;

    // A damaged copy whose backup is whole, and a pair that are both damaged.
    std::string damaged = dir + "/damaged";
    MAKE_DIR(damaged);
    std::vector<unsigned char> bytes = w.FileBytes();
    bytes[bytes.size() / 2] ^= 0x40;
    if (!w.WriteFile(damaged + "/tornelix.dat.bak") ||
        !WriteWholeFile(damaged + "/tornelix.dat", bytes.data(), bytes.size()))
        return 1;
    std::string broken = dir + "/broken";
    MAKE_DIR(broken);
    if (!WriteWholeFile(broken + "/tornelix.dat", bytes.data(), bytes.size()) ||
        !WriteWholeFile(broken + "/tornelix.dat.bak", bytes.data(), bytes.size()))
        return 1;
    return 0;
}
