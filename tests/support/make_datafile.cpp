// make_datafile: writes a parameter data file (tornelix.dat) for tests whose
// controller block holds the values given on the command line, laid out by
// a format file, so that end-to-end cases can stage a controller PC with
// real data files of any release's format.
//
//   make_datafile [options] OUT FORMAT [key=value ...]
//     Parses FORMAT, builds the image of field block CController (every byte
//     zero, then each key set to its value) and writes OUT: a CConfig record
//     (8 bytes, LZO), then the CController record cut into pieces that
//     alternate stored and LZO chunks, so every file carries both layouts.
//     key    member path as declared: m_speed, m_b[1], m_axis[2].m_fMax
//     value  the value as an amend file shows it (multipliers of "-m"
//            applied, bool 0/1, plc addresses in their text forms, texts
//            with or without double quotes)
//     --block NAME    the field block to build (default CController)
//     --piece N       bytes per payload chunk (default 16)
//     --stored        every payload chunk stored
//     --lzo           every payload chunk LZO-compressed
//     --backup        also writes OUT.bak, a whole copy
//     --damaged       OUT gets one byte of its chunk stream flipped (its
//                     checksum no longer matches); with --backup the .bak
//                     stays whole
//   make_datafile --damage FILE
//     Flips one byte in the middle of FILE's chunk stream, in place.
//
// Exit status: 0 written, 1 an error (named on stderr), 2 usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "format/FormatParser.h"
#include "format/ValueText.h"
#include "platform/File.h"
#include "support/DataFileWriter.h"

namespace {
int Usage()
{
    fprintf(stderr, "usage: make_datafile [--block NAME] [--piece N] [--stored|--lzo] [--backup] [--damaged] "
                    "OUT FORMAT [key=value ...]\n"
                    "       make_datafile --damage FILE\n");
    return 2;
}

bool ReadAll(const std::string& path, std::vector<unsigned char>& bytes)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes.clear();
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return true;
}

// Flips a byte past the file header, so the checksum no longer matches.
bool Damage(std::vector<unsigned char>& bytes)
{
    if (bytes.size() <= 8)
        return false;
    bytes[8 + (bytes.size() - 8) / 2] ^= 0x40;
    return true;
}

// Finds the member named by one path component ("m_b[1]" -> m_b, index 1).
struct Step {
    std::string name;
    int index = -1;
};

bool SplitPath(const std::string& key, std::vector<Step>& steps)
{
    size_t pos = 0;
    while (pos <= key.size()) {
        size_t dot = key.find('.', pos);
        std::string part = key.substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
        Step step;
        size_t open = part.find('[');
        if (open != std::string::npos) {
            if (part.back() != ']' || open + 2 > part.size() - 1)
                return false;
            std::string digits = part.substr(open + 1, part.size() - open - 2);
            char* end = nullptr;
            long v = strtol(digits.c_str(), &end, 10);
            if (*end || v < 0)
                return false;
            step.index = static_cast<int>(v);
            part.resize(open);
        }
        if (part.empty())
            return false;
        step.name = part;
        steps.push_back(step);
        if (dot == std::string::npos)
            break;
        pos = dot + 1;
    }
    return !steps.empty();
}

std::string SetValue(const CFormatParser& parser, const CBaseType& field, std::vector<unsigned char>& block,
                     const std::string& key, std::string value)
{
    std::vector<Step> steps;
    if (!SplitPath(key, steps))
        return "bad key";
    const CBaseType* type = &field;
    size_t offset = 0;
    for (size_t s = 0; s < steps.size(); ++s) {
        const CDataMember* member = nullptr;
        for (const CDataMember& m : type->m_members)
            if (m.m_strName == steps[s].name)
                member = &m;
        if (!member)
            return "no member " + steps[s].name;
        const CDataType& t = parser.EffectiveType(*member);
        offset += static_cast<size_t>(member->m_nOffset);
        bool last = s + 1 == steps.size();
        if (member->IsTextMember() && steps[s].index < 0) {
            if (!last)
                return "text member " + steps[s].name + " has no members";
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            if (value.size() >= static_cast<size_t>(member->m_nArrayCount))
                return "text too long for " + steps[s].name;
            memset(block.data() + offset, 0, static_cast<size_t>(member->m_nArrayCount));
            memcpy(block.data() + offset, value.data(), value.size());
            return "";
        }
        if (member->IsArray() != (steps[s].index >= 0))
            return member->IsArray() ? steps[s].name + " is an array" : steps[s].name + " is no array";
        if (steps[s].index >= member->ElementCount())
            return "index past the end of " + steps[s].name;
        if (steps[s].index > 0)
            offset += static_cast<size_t>(steps[s].index) * static_cast<size_t>(t.m_pSize);
        if (t.IsStructure()) {
            if (last)
                return steps[s].name + " is a structure";
            type = &t;
            continue;
        }
        if (!last)
            return steps[s].name + " has no members";
        if (offset + static_cast<size_t>(t.m_pSize) > block.size())
            return "member outside the block";
        if (!value_text::ParseBuiltin(t.m_nBuiltin, *member, block.data() + offset, value))
            return "not a value of " + t.m_strName;
        return "";
    }
    return "bad key";
}
} // namespace

int main(int argc, char** argv)
{
    std::string blockName = "CController";
    size_t piece = 16;
    int mode = 0; // 0 alternate, 1 stored, 2 lzo
    bool backup = false, damaged = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        std::string opt = argv[i];
        if (opt == "--damage") {
            if (i + 2 != argc)
                return Usage();
            std::vector<unsigned char> bytes;
            if (!ReadAll(argv[i + 1], bytes) || !Damage(bytes) ||
                !WriteWholeFile(argv[i + 1], bytes.data(), bytes.size())) {
                fprintf(stderr, "make_datafile: cannot damage %s\n", argv[i + 1]);
                return 1;
            }
            return 0;
        }
        if (opt == "--block" && i + 1 < argc)
            blockName = argv[++i];
        else if (opt == "--piece" && i + 1 < argc)
            piece = strtoul(argv[++i], nullptr, 10);
        else if (opt == "--stored")
            mode = 1;
        else if (opt == "--lzo")
            mode = 2;
        else if (opt == "--backup")
            backup = true;
        else if (opt == "--damaged")
            damaged = true;
        else
            return Usage();
    }
    if (argc - i < 2 || piece == 0 || piece > 16384)
        return Usage();
    std::string out = argv[i], formatPath = argv[i + 1];

    CFormatParser parser;
    if (!parser.Parse(formatPath)) {
        fprintf(stderr, "make_datafile: cannot parse %s: %s\n", formatPath.c_str(), parser.LastError().c_str());
        return 1;
    }
    const CFieldType* field = parser.FindFieldType(blockName);
    if (!field) {
        fprintf(stderr, "make_datafile: %s declares no field %s\n", formatPath.c_str(), blockName.c_str());
        return 1;
    }
    std::vector<unsigned char> block(static_cast<size_t>(field->m_pSize), 0);
    for (int k = i + 2; k < argc; ++k) {
        std::string arg = argv[k];
        size_t eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) {
            fprintf(stderr, "make_datafile: not key=value: %s\n", arg.c_str());
            return 1;
        }
        std::string error = SetValue(parser, *field, block, arg.substr(0, eq), arg.substr(eq + 1));
        if (!error.empty()) {
            fprintf(stderr, "make_datafile: %s: %s\n", arg.c_str(), error.c_str());
            return 1;
        }
    }

    DataFileWriter w;
    w.AddRecord("CConfig", std::vector<unsigned char>(8, 1), DataFileWriter::compressed);
    w.AddRecord(blockName, block, mode == 1 ? DataFileWriter::stored : DataFileWriter::compressed, piece, mode == 0);
    std::vector<unsigned char> bytes = w.FileBytes();
    if (backup && !WriteWholeFile(out + ".bak", bytes.data(), bytes.size())) {
        fprintf(stderr, "make_datafile: cannot write %s.bak\n", out.c_str());
        return 1;
    }
    if (damaged)
        Damage(bytes);
    if (!WriteWholeFile(out, bytes.data(), bytes.size())) {
        fprintf(stderr, "make_datafile: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
