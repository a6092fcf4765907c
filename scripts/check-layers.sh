#!/usr/bin/env bash
# The layering guard: every layer of src/ includes only its own folder and the
# layers below it, the tools never the application, and no two files include
# each other through any chain (within src/app, nor call each other: an
# interface hides a call from the includes); Win32 (its headers and its
# calls) only in src/platform/, and in the application's window code only the
# window calls it names below. Fails with the file and the rule it breaks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Lowest first; the same order as src/CMakeLists.txt.
layers=(platform locations messages logs setupfile format params deploy release paramsteps app)

python3 - "${layers[@]}" <<'PY'
import os, re, sys

layers = sys.argv[1:]
rank = {name: i for i, name in enumerate(layers)}
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
failures = []
edges = {}  # node -> set of nodes; a node is a header and its source together

def node(path):
    return os.path.splitext(path)[0]

for top in ("src", "tools"):
    for dirpath, _, files in os.walk(top):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(dirpath, name)
            parts = path.split(os.sep)
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for target in include.findall(text):
                folder = target.split("/")[0] if "/" in target else None
                if top == "src":
                    here = parts[1]
                    if folder is None:
                        failures.append(f"{path}: includes \"{target}\" without its folder; "
                                        f"name the layer (\"{here}/...\")")
                        continue
                    if folder not in rank:
                        failures.append(f"{path}: includes \"{target}\" from an unknown layer")
                        continue
                    if rank[folder] > rank[here]:
                        failures.append(f"{path}: includes \"{target}\": {here}/ may not reach up to {folder}/ "
                                        f"(order: {' -> '.join(layers)})")
                    edges.setdefault(node(path), set()).add(node(os.path.join("src", target)))
                else:
                    if folder == "app":
                        failures.append(f"{path}: includes \"{target}\": the tools never use the application layer")
                    local = os.path.join(dirpath, target)
                    resolved = local if os.path.exists(local) else os.path.join("src", target)
                    edges.setdefault(node(path), set()).add(node(resolved))

include_edges = {n: set(targets) for n, targets in edges.items()}

# Win32 lives in src/platform/. The application's window (the progress dialog
# and WinMain) is the one other place: it may include windows.h and make the
# window calls listed here, nothing else of Win32. Calls are found by name: a
# capitalised name ending in A or W (the Win32 text variants), or one of the
# unsuffixed Win32 functions, called without an object or a namespace of ours;
# comments and string literals are left out first.
window_files = {"src/app/AutoUpdateDlg.cpp", "src/app/AutoUpdateDlg.h", "src/app/SetupMain.cpp"}
window_calls = {"LoadIconA", "GetModuleHandleA", "SendMessageA", "SetTimer", "KillTimer", "BeginPaint", "EndPaint",
                "GetClientRect", "GetSystemMetrics", "DrawIcon", "GetDlgItem", "ShowWindow", "RedrawWindow", "IsIconic"}
win32_headers = re.compile(r'^\s*#\s*include\s+<(windows|winbase|winuser|winreg|shlwapi|shellapi|shlobj|tlhelp32|'
                           r'wincrypt|setupapi|commctrl|psapi|objbase|winnt|winerror)\.h>', re.M | re.I)
win32_plain = {
    "AttachConsole", "BeginPaint", "CloseHandle", "CompareFileTime", "CreateThread", "CreateToolhelp32Snapshot",
    "CryptCreateHash", "CryptDestroyHash", "CryptGenRandom", "CryptGetHashParam", "CryptHashData",
    "CryptReleaseContext", "DestroyWindow", "DeviceIoControl", "DrawIcon", "DuplicateHandle", "EnableWindow",
    "EndPaint", "EnumChildWindows", "EnumWindows", "ExitProcess", "FileTimeToSystemTime", "FindClose",
    "FlushFileBuffers", "GetClientRect", "GetConsoleMode", "GetConsoleOutputCP", "GetCurrentProcess",
    "GetCurrentProcessId", "GetDlgCtrlID", "GetDlgItem", "GetExitCodeProcess", "GetFileSizeEx", "GetFileTime",
    "GetFileType", "GetLastError", "GetLocalTime", "GetLogicalDrives", "GetNativeSystemInfo", "GetParent",
    "GetProcAddress", "GetStdHandle", "GetSystemInfo", "GetSystemMetrics", "GetSystemTime", "GetTickCount",
    "GetTickCount64", "GetWindowRect", "GetWindowThreadProcessId", "GlobalAlloc", "GlobalFree", "HeapAlloc",
    "HeapFree", "InvalidateRect", "IsDBCSLeadByte", "IsIconic", "IsWindowVisible", "IsWow64Process", "KillTimer",
    "LocalAlloc", "LocalFree", "LockFile", "MultiByteToWideChar", "OpenProcess", "PostQuitMessage",
    "Process32First", "Process32Next", "ProcessIdToSessionId", "ReadFile", "RedrawWindow", "RegCloseKey",
    "ReleaseMutex", "SetEndOfFile", "SetFilePointer", "SetFilePointerEx", "SetFileTime", "SetFocus",
    "SetForegroundWindow", "SetLastError", "SetTimer", "SetWindowPos", "ShowWindow", "Sleep",
    "SystemTimeToFileTime", "TerminateProcess", "TranslateMessage", "UnlockFile", "UpdateWindow", "VirtualAlloc",
    "VirtualFree", "WaitForMultipleObjects", "WaitForSingleObject", "WideCharToMultiByte", "WriteFile",
    "Wow64DisableWow64FsRedirection", "Wow64RevertWow64FsRedirection", "ZeroMemory"}
win32_suffixed = re.compile(r'^[A-Z][A-Za-z0-9]*[a-z0-9](A|W)$')
call = re.compile(r'(->|\.|\b\w+::|::)?\b([A-Z][A-Za-z0-9_]*)\s*\(')
noise = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)
for top in ("src", "tools"):
    for dirpath, _, files in os.walk(top):
        if dirpath.split(os.sep)[:2] == ["src", "platform"]:
            continue
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(dirpath, name)
            rel = path.replace(os.sep, "/")
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            window = rel in window_files
            if not window:
                for header in win32_headers.findall(text):
                    failures.append(f"{path}: includes <{header}.h>: Win32 lives in src/platform/")
            code = noise.sub(" ", text)
            for owner, fn in call.findall(code):
                if owner and owner != "::":
                    continue
                if not (fn in win32_plain or win32_suffixed.match(fn)):
                    continue
                if window and fn in window_calls:
                    continue
                failures.append(f"{path}: calls {fn}: Win32 lives in src/platform/ (add a platform function)")

# The application's files also reach each other without an include: the
# sequence calls the operations through InstallOperations, a window through
# SequenceWindow. So within src/app a call of a name that one file alone
# defines (a header's inline body counts) ties the caller to that file too.
# Lower layers are left to their includes: there, names like Read or empty are
# also the standard library's, and would draw circles that are not there.
definition = re.compile(r'^[ \t]*[A-Za-z_][^;{}()=]*?\b(~?[A-Za-z_]\w*)\s*\([^;{}]*\)[^;{}=]*\{', re.M)
# A declaration names a function without calling it (an interface names
# what its implementation defines).
declaration = re.compile(r'^[ \t]*(?!(?:return|else|delete|throw|case|new)\b)(?:[A-Za-z_][\w:<>,*&]*[ \t*&]+)+'
                         r'~?[A-Za-z_]\w*\s*\([^;{}]*\)[^;{}=]*(?:=\s*\w+\s*)?;', re.M)
called = re.compile(r'\b([A-Za-z_]\w*)\s*\(')
not_names = {"if", "for", "while", "switch", "catch", "return", "sizeof"}
app_code = {}
definers = {}
for name in sorted(os.listdir(os.path.join("src", "app"))):
    if name.endswith((".h", ".cpp")):
        n = node(os.path.join("src", "app", name))
        with open(os.path.join("src", "app", name), encoding="utf-8", errors="replace") as f:
            code = noise.sub(" ", f.read())
        app_code[n] = app_code.get(n, "") + code
        for fn in definition.findall(code):
            if fn not in not_names:
                definers.setdefault(fn, set()).add(n)
calls = {}  # (caller, callee) -> the names called
for n, code in app_code.items():
    for fn in sorted(set(called.findall(declaration.sub(" ", code)))):
        owners = definers.get(fn, set())
        if len(owners) == 1 and n not in owners:
            (m,) = owners
            edges.setdefault(n, set()).add(m)
            calls.setdefault((n, m), []).append(fn)

def hop(a, b):
    names = calls.get((a, b))
    if not names or b in include_edges.get(a, ()):
        return " -> " + b
    return " -(calls " + ", ".join(names[:3]) + (", ..." if len(names) > 3 else "") + ")-> " + b

# Circles between files (a header and its source count as one).
WHITE, GREY, BLACK = 0, 1, 2
colour = {}
stack = []
def visit(n):
    colour[n] = GREY
    stack.append(n)
    for m in sorted(edges.get(n, ())):
        if m == n:
            continue
        c = colour.get(m, WHITE)
        if c == GREY:
            cycle = stack[stack.index(m):] + [m]
            failures.append("circle: " + cycle[0] + "".join(hop(a, b) for a, b in zip(cycle, cycle[1:])))
        elif c == WHITE:
            visit(m)
    stack.pop()
    colour[n] = BLACK
for n in sorted(edges):
    if colour.get(n, WHITE) == WHITE:
        visit(n)

if failures:
    for line in failures:
        print("layers: " + line, file=sys.stderr)
    sys.exit(1)
print(f"layers: {len(edges)} files checked, every include points down, no circles, Win32 only in src/platform/")
PY
