#!/usr/bin/env bash
# The examples with no runtime here, checked with the checkers Debian packages: the Python one
# parsed by Python (without writing bytecode beside it), the C# one compiled by Mono's C#
# compiler. The PowerShell example has no checker here and says so in its header.
#   syntax.sh EXAMPLES_DIR WORK_DIR
set -euo pipefail
examples=$1 work=$2
mkdir -p "$work"
python3 -c 'import ast, sys; ast.parse(open(sys.argv[1], encoding="utf-8").read(), sys.argv[1])' \
  "$examples/korvex-session.py"
mcs -nologo -warnaserror -target:exe -out:"$work/KorvexSession.exe" "$examples/csharp/KorvexSession.cs"
grep -q "do not run or check" "$examples/korvex-session.ps1"
echo "3 passed, 0 failed"
