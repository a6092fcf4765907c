// DescribeBlock over arbitrary block bytes: with a fixed format of every kind
// of member, or (input starting with 'F') with a format taken from the input
// itself, up to its first zero byte, so that hostile print formats, "-m"
// multipliers and annotations meet arbitrary values. The format is parsed
// from memory; one input in 64 also goes through the format file.
// Longer inputs than the fixed block or a small format only took longer:
// a long run's grew to 4 KB and its rate fell by half. So did formats of
// big blocks (a few arrays of thousands of elements, one item each), which
// are left to the benchmark: a block of the input's own format is at most
// 8 KB.
// fuzz-max-len: 4096
// fuzz-libs: tlx_params default
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "logs/TraceLog.h"
#include "format/FieldDescriptor.h"
#include "params/LocalListingTexts.h"
#include "platform/File.h"
#include "platform/TempDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
const char kFixedFormat[] = R"(#pragma pack(4)
typedef DWORD MyMask;
struct Point /* -r 3 */ { double x /* -g 0 -f%.3f */; double y /* -g 1 -m 1/1000 */; int z /* -g 2 -m 10 */; };
struct Tool /* -r 100 */ { char name[12] /* -g 0 */; Point offset[2] /* -g 10 -F'Offset %d' */; BYTE flags[3] /* -g 20 */; };
struct One { char text[5] /* -d x */; };
struct NoRange { int a; };
#pragma pack(8)
field CController {
  int m_nBegin /* -g 0 */; bool m_b /* -g 1 -f%d */; char m_c /* -g 2 */; unsigned char m_uc /* -g 3 -f%x */;
  TCHAR m_tc /* -g 4 */; short m_s /* -g 6 -m 3 */; WORD m_w /* -g 8 */; int m_i /* -g 9 -m 0x10 */;
  UINT m_u /* -g 10 -f%hd */; long m_l /* -g 15 -f%I64d */; unsigned long m_ul /* -g 16 */;
  __int64 m_i64 /* -g 17 -m 7 */; guard_t m_g /* -g 19 */; float m_f /* -g 21 -m 2.5 */; double m_d /* -g 22 */;
  double m_e /* -g 24 -f%.4e */; plc_bit_addr_t m_plc[4] /* -g 30 */; int * m_p /* -g 40 */;
  char m_sz[16] /* -g 41 */; Tool m_tools[2] /* -g 100 */; One m_one[2] /* -g 300 */; NoRange m_nr[2] /* -g 400 */;
  MyMask m_mask /* -g 5 -eH */; int m_nEnd /* -g 999 */;
};
)";

std::string g_dir;
std::string g_input;
std::string g_fixedName;
int g_fixedSize = 0;

// The first field block's name and size, or false.
bool FirstField(const std::string& format, std::string& name, int& size)
{
    CFormatParser parser;
    if (!parser.ParseText(format.data(), format.size(), g_input) || parser.m_fieldTypes.empty())
        return false;
    name = parser.m_fieldTypes.front()->m_strName;
    size = parser.m_fieldTypes.front()->m_pSize;
    return true;
}

void SetUpOnce()
{
    SetTraceFileEnabled(false);
    SetTraceEcho(nullptr);
    g_dir = SystemTempDirectory() + "tlx-fuzz-describe-" + std::to_string(getpid());
    mkdir(g_dir.c_str(), 0700);
    g_input = g_dir + "/input.fmt";
    // The fixed format's block is the same for every input: parsed once here.
    if (!FirstField(kFixedFormat, g_fixedName, g_fixedSize))
        abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetUpOnce(), true);
    (void)ready;
    std::string format(kFixedFormat, sizeof kFixedFormat - 1);
    const uint8_t* block = data;
    size_t blockSize = size;
    const bool ownFormat = size > 0 && data[0] == 'F';
    if (ownFormat) {
        const uint8_t* end = static_cast<const uint8_t*>(memchr(data + 1, 0, size - 1));
        if (!end)
            return 0;
        format.assign(reinterpret_cast<const char*>(data + 1), static_cast<size_t>(end - data - 1));
        block = end + 1;
        blockSize = size - static_cast<size_t>(end + 1 - data);
    }
    std::string name = g_fixedName;
    int fieldSize = g_fixedSize;
    if (ownFormat && (!FirstField(format, name, fieldSize) || fieldSize > 8192))
        return 0;
    // The block as the size check lets it through: the input, cut or padded.
    std::vector<unsigned char> bytes(static_cast<size_t>(fieldSize), 0);
    memcpy(bytes.data(), block, blockSize < bytes.size() ? blockSize : bytes.size());
    CFieldDescriptor descriptor(LocalListingTexts());
    if (descriptor.DescribeBlockWithFormatText("/dev/null", name, bytes.data(), fieldSize, format, g_input)) {
        // The first serial-number findings, as a user reads them.
        CSerialNumberCheck check = descriptor.CheckSerialNumbers();
        SerialNumberFinding finding;
        for (int shown = 0; shown < 100 && check.Next(finding); ++shown)
            if (finding.message.find(finding.second) == std::string::npos)
                __builtin_trap();
    }
    // And once with the size as given, which the size check must refuse or
    // pass; now and then through the format file.
    std::vector<unsigned char> raw(block, block + blockSize);
    if (size % 64 == 0 && WriteWholeFile(g_input, format.data(), format.size()))
        descriptor.DescribeBlock("/dev/null", name, raw.data(), static_cast<int>(raw.size()), g_input);
    else
        descriptor.DescribeBlockWithFormatText("/dev/null", name, raw.data(), static_cast<int>(raw.size()), format,
                                               g_input);
    return 0;
}
