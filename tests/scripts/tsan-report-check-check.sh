#!/usr/bin/env bash
# Checks tests/sanitizers/check-tsan-reports.sh on made-up ThreadSanitizer logs, shaped as GCC's
# ThreadSanitizer writes them: a report with a frame of the plug-in's sources fails the check
# whatever the suppressions say; a report of the framework alone passes only when listed; the host
# program's frames count only where they make the access; the stacks that say where memory was
# allocated or a thread created do not count.
#
#   tsan-report-check-check.sh WORK_DIR
set -euo pipefail

work=$1
checker="$(cd "$(dirname "${BASH_SOURCE[0]}")/../sanitizers" && pwd)/check-tsan-reports.sh"
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

rm -rf "$work" && mkdir -p "$work"

# report FIRST_STACK SECOND_STACK: one data race, the two access stacks given as frame lines.
report() {
  cat <<EOF
==================
WARNING: ThreadSanitizer: data race (pid=4242)
  Write of size 8 at 0x7b3000000320 by main thread:
$1

  Previous read of size 8 at 0x7b3000000320 by thread T1 (mutexes: write M437):
$2

  Location is heap block of size 64 at 0x7b1000000640 allocated by main thread:
    #0 operator new(unsigned long) ../../../../src/libsanitizer/tsan/tsan_new_delete.cpp:64 (libtsan.so.2+0x87323)
    #1 PelorvaneAudioProcessor::createEditor() ../source/processor/PluginProcessor.cpp:365 (Pelorvane.so+0xef180)

  Thread T1 'JUCE Plugin Message Thread' (tid=4244, running) created by main thread at:
    #0 pthread_create ../../../../src/libsanitizer/tsan/tsan_interceptors_posix.cpp:1001 (libtsan.so.2+0x5e686)
    #1 FrameworkVST3Client::createAudioComponent(Steinberg::Vst::IHostApplication*, char const*, void**) ../source/vst3/FrameworkVST3Client.cpp:517 (Pelorvane.so+0xbd375)

SUMMARY: ThreadSanitizer: data race /usr/share/juce/modules/juce_core/containers/juce_Variant.cpp:572 in juce::var::operator=(juce::var const&)
==================
EOF
}

framework_write='    #0 juce::var::operator=(juce::var const&) /usr/share/juce/modules/juce_core/containers/juce_Variant.cpp:572 (Pelorvane.so+0x1be875)
    #1 juce::ValueTree::SharedObject::setProperty(juce::Identifier const&, juce::var const&, juce::UndoManager*, juce::ValueTree::Listener*) /usr/share/juce/modules/juce_data_structures/values/juce_ValueTree.cpp:110 (Pelorvane.so+0x24e871)'
framework_read='    #0 juce::var::operator float() const /usr/share/juce/modules/juce_core/containers/juce_Variant.cpp:556 (Pelorvane.so+0x1bf0d2)
    #1 juce::AudioProcessorValueTreeState::timerCallback() /usr/share/juce/modules/juce_audio_processors/utilities/juce_AudioProcessorValueTreeState.cpp:469 (Pelorvane.so+0x13b0a1)'
ours='    #2 StateSerializer::writeValuesIntoRecords() ../source/processor/StateSerializer.cpp:221 (Pelorvane.so+0x11b2a4)'
host_below='    #2 OpenEditor ../../tests/vst3/ConcurrentHost.cpp:297 (PelorvaneConcurrentHost+0x7233)'
host_top='    #0 RawRunLoop::dispatch(int) ../../tests/vst3/RawPlugFrame.cpp:35 (PelorvaneConcurrentHost+0x5a21)'

cat >"$work/listed.supp" <<'EOF'
# A comment, then the entry.
race:juce::AudioProcessorValueTreeState::timerCallback
EOF
: >"$work/empty.supp"

passes() { bash "$checker" "$1" "$2" >"$1.out" 2>&1; }
fails() { ! passes "$@"; }

: >"$work/clean.log"
check "a log without reports passes" passes "$work/clean.log" "$work/empty.supp"

report "$framework_write
$ours" "$framework_read" >"$work/ours.log"
check "a report through the plug-in's code fails" fails "$work/ours.log" "$work/empty.supp"
check "a report through the plug-in's code fails even where an entry matches it" fails "$work/ours.log" "$work/listed.supp"
check "the failing report is printed" grep -q "StateSerializer::writeValuesIntoRecords" "$work/ours.log.out"
check "the summary counts it as the project's" grep -q "1 report(s): 1 in this project's code, 0 in the framework not listed, 0 listed" "$work/ours.log.out"

report "$framework_write
$host_below" "$framework_read" >"$work/framework.log"
check "a report of the framework alone fails while it is not listed" fails "$work/framework.log" "$work/empty.supp"
check "a report of the framework alone passes once listed" passes "$work/framework.log" "$work/listed.supp"
check "the summary names the entry that listed it" grep -q "listed race:juce::AudioProcessorValueTreeState::timerCallback  x1" "$work/framework.log.out"

report "$host_top
$framework_write" "$framework_read" >"$work/host.log"
check "an access made in the host program's own code fails even where an entry matches it" fails "$work/host.log" "$work/listed.supp"

# Two reports, one listed and one not: the listed one does not make up for the other.
{ report "$framework_write" "$framework_read"; report "$framework_write" "    #0 juce::Timer::callTimers() /usr/share/juce/modules/juce_events/timers/juce_Timer.cpp:115 (Pelorvane.so+0x23ea39)"; } >"$work/mixed.log"
check "every report must be listed" fails "$work/mixed.log" "$work/listed.supp"
check "the summary counts both" grep -q "2 report(s): 0 in this project's code, 1 in the framework not listed, 1 listed" "$work/mixed.log.out"

checks_done
