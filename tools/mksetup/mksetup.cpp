// The release engineer's tool: appends a package, the release's name and
// the trailer to the setup program, checks a finished setup file, signed or
// not, and checks a release's setup.cfg with the setup's own rule (also
// before every build). The setup file is read and written in pieces through
// one fixed buffer (constant memory).
//   mksetup [--release NAME] (--cfg SETUP_CFG | --no-cfg-check) PROGRAM PACKAGE OUT
//   mksetup --check [--signed] FILE
//   mksetup --check-cfg SETUP_CFG
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "locations/ProductTreeCheck.h"
#include "messages/Messages.h"
#include "platform/File.h"
#include "platform/Profile.h"
#include "platform/TerminalText.h"
#include "setupfile/SetupImage.h"

namespace {
int Usage()
{
    fprintf(stderr,
            "usage: mksetup [--release NAME] (--cfg SETUP_CFG | --no-cfg-check) PROGRAM PACKAGE OUT\n"
            "                                           write PROGRAM, PACKAGE, the release's name and the trailer\n"
            "                                           to OUT, after checking the release's setup.cfg\n"
            "       mksetup --check [--signed] FILE     verify a setup file (--signed: it must be signed)\n"
            "       mksetup --check-cfg SETUP_CFG       check a release's setup.cfg as the setup will\n");
    return 2;
}

// What a deployment engine matches: the name and the digest that the run
// state records after the file has installed.
void PrintRecorded(const SetupLayout& layout)
{
    if (layout.releaseName.empty())
        printf("release name: none (the run state names the release by the setup file's name)\n");
    else
        printf("release name: %s\n", layout.releaseName.c_str());
    printf("recorded digest: %s\n", DigestHex(layout.digest).c_str());
}

int CheckFile(const char* path, bool mustBeSigned)
{
    if (!FileExists(path)) {
        fprintf(stderr, "%s: not found\n", path);
        return 1;
    }
    SetupLayout layout;
    std::string reason;
    if (!CheckSetupFile(path, &layout, &reason)) {
        fprintf(stderr, "%s: bad setup file: %s\n", path, reason.c_str());
        return 1;
    }
    if (mustBeSigned && !layout.isSigned) {
        fprintf(stderr, "%s: not signed (whole, but it has no certificate table)\n", path);
        return 1;
    }
    printf("%s: ok%s, package offset %lu, package size %lu\n", path, layout.isSigned ? " (signed)" : "",
           static_cast<unsigned long>(layout.packageOffset), static_cast<unsigned long>(layout.packageSize));
    PrintRecorded(layout);
    return 0;
}

// The release's [Settings] Path through the setup's own check, refused with
// the setup's own message (its first line: the second says that the setup
// ends, which is the controller's business). An absolute Path passes the
// setup's check on a controller that has such a tree, but the package puts
// the release below the installation root: the setup would find no product
// directory after it, in every update.
bool ConfigAccepted(const char* path)
{
    if (!FileExists(path)) {
        fprintf(stderr, "mksetup: setup.cfg %s not found\n", path);
        return false;
    }
    std::string value = ProfileGetString(path, "Settings", "Path");
    TreeRefusal refusal = CheckProductTreesOnControllers(value);
    if (refusal != TreeRefusal::None) {
        std::string text = ProductTreeRefusalText(path, value, refusal);
        WriteTerminalText(stderr, "mksetup: " + text.substr(0, text.find('\n')) + "\n");
        return false;
    }
    if (IsAbsolutePathValue(value)) {
        fprintf(stderr,
                "mksetup: %s: Path=%s is absolute, but the package puts the release below the installation root "
                "(C:\\Program Files (x86)\\Velko\\ or C:\\Program Files\\Velko\\): the setup would find no product directory at %s; use a Path "
                "relative to that root, e.g. TorneLix\\\n",
                path, value.c_str(), value.c_str());
        return false;
    }
    return true;
}

int CheckConfig(const char* path)
{
    if (!ConfigAccepted(path))
        return 1;
    printf("%s: ok, Path=%s\n", path, ProfileGetString(path, "Settings", "Path").c_str());
    return 0;
}

int Build(std::vector<std::string> args)
{
    std::string name, cfg;
    bool skipCfg = false, named = false;
    while (!args.empty() && args[0].size() > 2 && args[0].compare(0, 2, "--") == 0) {
        if (args[0] == "--no-cfg-check") {
            skipCfg = true;
            args.erase(args.begin());
        } else if ((args[0] == "--release" || args[0] == "--cfg") && args.size() >= 2) {
            named = named || args[0] == "--release";
            (args[0] == "--release" ? name : cfg) = args[1];
            args.erase(args.begin(), args.begin() + 2);
        } else {
            return Usage();
        }
    }
    if (args.size() != 3)
        return Usage();
    if (cfg.empty() == !skipCfg) {
        fprintf(stderr, "mksetup: name the release's setup.cfg with --cfg SETUP_CFG (its Path is checked as the "
                        "setup will check it), or build without that check with --no-cfg-check\n");
        return 2;
    }
    if (named && ReleaseNameProblem(name)) {
        fprintf(stderr, "mksetup: release name '%s': %s\n", name.c_str(), ReleaseNameProblem(name));
        return 1;
    }
    const char* roles[] = {"PROGRAM", "PACKAGE"};
    for (int i = 0; i < 2; ++i) {
        if (!FileExists(args[static_cast<size_t>(i)])) {
            fprintf(stderr, "mksetup: %s %s not found\n", roles[i], args[static_cast<size_t>(i)].c_str());
            return 1;
        }
    }
    if (!skipCfg && !ConfigAccepted(cfg.c_str()))
        return 1;
    const std::string& out = args[2];
    std::string reason;
    if (!WriteSetupFile(args[0], args[1], out, &reason, name)) {
        fprintf(stderr, "mksetup: %s\n", reason.c_str());
        return 1;
    }
    SetupLayout layout;
    if (!CheckSetupFile(out, &layout, &reason)) {
        fprintf(stderr, "mksetup: %s does not verify: %s\n", out.c_str(), reason.c_str());
        remove(out.c_str());
        return 1;
    }
    printf("%s: package offset %lu, package size %lu\n", out.c_str(), static_cast<unsigned long>(layout.packageOffset),
           static_cast<unsigned long>(layout.packageSize));
    PrintRecorded(layout);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "--check") == 0)
        return CheckFile(argv[2], false);
    if (argc == 4 && strcmp(argv[1], "--check") == 0 && strcmp(argv[2], "--signed") == 0)
        return CheckFile(argv[3], true);
    if (argc == 3 && strcmp(argv[1], "--check-cfg") == 0)
        return CheckConfig(argv[2]);
    if (argc >= 4 && strcmp(argv[1], "--check") != 0 && strcmp(argv[1], "--check-cfg") != 0)
        return Build(std::vector<std::string>(argv + 1, argv + argc));
    return Usage();
}
