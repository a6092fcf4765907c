#!/usr/bin/env bash
# The layering guard: every layer of src/ includes only its own folder and the
# layers below it, the tools never the application, and no two files include
# each other through any chain. Fails with the file and the rule it breaks.
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
            failures.append("include circle: " + " -> ".join(cycle))
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
print(f"layers: {len(edges)} files checked, every include points down, no circles")
PY
