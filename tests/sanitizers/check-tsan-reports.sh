#!/usr/bin/env bash
# Sorts the ThreadSanitizer reports in LOG and fails if any of them is this project's, or is the
# framework's but not listed in SUPPRESSIONS.
# Usage: tests/sanitizers/check-tsan-reports.sh LOG SUPPRESSIONS [NAME]
#
# A report is this project's when a frame of one of its racing (or locking, or leaking) stacks
# lies in the plug-in's sources (source/), or when the access itself, the stack's top frame, lies
# in the host program's own sources (tests/vst3/): the host's frames below framework calls are
# only the host calling the plug-in. The stacks that only say where memory was allocated, or a
# thread or mutex created, or what ThreadSanitizer took for synchronisation, do not count. Paths
# are taken relative to the project's folder or to a build folder in it, as the build writes
# them into the debug information.
#
# Every other report must match an entry of SUPPRESSIONS. The file is in ThreadSanitizer's own
# format (TYPE:PATTERN, '*' matching anything, '^' and '$' anchoring), so it also works as
# TSAN_OPTIONS=suppressions=FILE; but ThreadSanitizer itself would hide a report if any frame of it
# matched, a report that passes through this project's code too. So it is applied here, and only
# to reports that have no frame of ours. Prints each report that fails the check in full, then a
# summary; exits with 1 if any did.
set -euo pipefail

log=$1
suppressions=$2
name=${3:-$(basename "$log")}
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

awk -v suppressions="$suppressions" -v name="$name" -v root="$root" '
function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }

# A ThreadSanitizer pattern as an extended regular expression.
function patternToRegex(p,    out, i, c, n) {
    out = ""
    n = length(p)
    for (i = 1; i <= n; i++) {
        c = substr(p, i, 1)
        if (c == "*") out = out ".*"
        else if (c == "^" && i == 1) out = out "^"
        else if (c == "$" && i == n) out = out "$"
        else if (index("\\.[]{}()+?|^$/", c) > 0) out = out "[" (c == "\\" ? "\\\\" : (c == "^" ? "\\^" : c)) "]"
        else out = out c
    }
    return out
}

function suppressionType(kind) {
    if (kind ~ /^thread leak/) return "thread"
    if (kind ~ /^lock-order-inversion/) return "deadlock"
    if (kind ~ /mutex/) return "mutex"
    if (kind ~ /^signal/) return "signal"
    return "race"
}

# Splits a frame line ("    #3 function /path/file.cpp:12 (module+0x1f)") into frameFunction,
# frameFile and frameModule.
function parseFrame(line,    rest, p, last) {
    rest = line
    sub(/^[ \t]*#[0-9]+ /, "", rest)
    frameModule = ""
    if (match(rest, / \([^()]*\)$/)) {
        frameModule = substr(rest, RSTART + 2, RLENGTH - 3)
        sub(/\+0x[0-9a-fA-F]+$/, "", frameModule)
        rest = substr(rest, 1, RSTART - 1)
    }
    frameFile = ""
    p = 0
    while (match(substr(rest, p + 1), / /)) p += RSTART
    last = p > 0 ? substr(rest, p + 1) : ""
    if (last == "<null>" || last ~ /\//) {
        frameFile = last
        sub(/(:[0-9]+)+$/, "", frameFile)
        rest = substr(rest, 1, p - 1)
    }
    frameFunction = rest
}

# The path within the project: without the project folder, or the ../ steps from a build folder.
function projectPath(file) {
    if (index(file, root "/") == 1) file = substr(file, length(root) + 2)
    while (substr(file, 1, 3) == "../") file = substr(file, 4)
    return file
}

function isProjectFile(file) {
    return projectPath(file) ~ /^source\//
}

function isHostFile(file) {
    return projectPath(file) ~ /^tests\/vst3\//
}

function matchesSuppression(type,    i, j) {
    for (i = 1; i <= suppressionCount; i++) {
        if (suppressionTypes[i] != type) continue
        for (j = 1; j <= frameCount; j++)
            if (frameFunctions[j] ~ suppressionRegexes[i] || frameFiles[j] ~ suppressionRegexes[i] || frameModules[j] ~ suppressionRegexes[i])
                return i
    }
    return 0
}

function startReport(line) {
    inReport = 1
    reportText = line "\n"
    kind = line
    sub(/^WARNING: ThreadSanitizer: /, "", kind)
    sub(/ \(pid=[0-9]+\)$/, "", kind)
    frameCount = 0
    ours = 0
    counted = 0
    summary = ""
}

function endReport(    entry) {
    inReport = 0
    ++reports
    if (ours) {
        ++projectReports
        failed = failed "\n" reportText
        return
    }
    entry = matchesSuppression(suppressionType(kind))
    if (entry > 0) {
        ++listedReports
        ++listedCounts[entry]
        return
    }
    ++unlistedReports
    failed = failed "\n" reportText
}

BEGIN {
    while ((getline raw < suppressions) > 0) {
        raw = trim(raw)
        if (raw == "" || substr(raw, 1, 1) == "#") continue
        colon = index(raw, ":")
        if (colon == 0) continue
        ++suppressionCount
        suppressionTypes[suppressionCount] = substr(raw, 1, colon - 1)
        suppressionPatterns[suppressionCount] = substr(raw, colon + 1)
        suppressionRegexes[suppressionCount] = patternToRegex(substr(raw, colon + 1))
    }
}

/^WARNING: ThreadSanitizer: / { startReport($0); next }

! inReport { next }

/^==================$/ { endReport(); next }

{ reportText = reportText $0 "\n" }

/^SUMMARY: ThreadSanitizer: / { summary = $0; next }

# A stack heading: only the stacks of the accesses, locks and leaks themselves count.
/^  [^ ]/ {
    counted = $0 !~ /allocated by|created by|created at|Location is|synchronized via/
    topFrame = 1
    next
}

/^ +#[0-9]+ / {
    if (! counted) next
    parseFrame($0)
    ++frameCount
    frameFunctions[frameCount] = frameFunction
    frameFiles[frameCount] = frameFile
    frameModules[frameCount] = frameModule
    if (isProjectFile(frameFile) || (topFrame && isHostFile(frameFile)))
        ours = 1
    topFrame = 0
}

END {
    if (inReport) endReport()
    if (failed != "") printf "%s\n", failed
    printf "ThreadSanitizer, %s: %d report(s): %d in this project'"'"'s code, %d in the framework not listed, %d listed\n", \
        name, reports, projectReports, unlistedReports, listedReports
    for (i = 1; i <= suppressionCount; i++)
        if (listedCounts[i] > 0)
            printf "  listed %s:%s  x%d\n", suppressionTypes[i], suppressionPatterns[i], listedCounts[i]
    exit (projectReports + unlistedReports > 0) ? 1 : 0
}
' "$log"
