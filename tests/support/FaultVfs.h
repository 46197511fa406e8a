#pragma once

// An SQLite VFS of the tests' own, wrapping the default one and made the
// default while installed, so the program's own connections go through it.
//
// Faults: the Nth call of the kinds asked for (write, sync, truncate,
// delete, lock) fails with an I/O error, a full disk or a read-only file;
// once, or from then on (a disk that stays full).
//
// Power cuts: while recording, every write and sync of every file is kept in
// memory; cut() stops all further I/O (the machine is off), and crash() then
// leaves on disk what a power cut could have: each file as of its last sync,
// with any of the writes made after it, each whole, torn at a sector, or not
// at all, in any order; a file never synced may be gone. Nothing of it is in
// the program.
#include <QString>

#include <cstdint>

namespace pantrio::test::FaultVfs
{

enum Call : unsigned { Write = 1, Sync = 2, Truncate = 4, Delete = 8, Lock = 16, All = 31 };
enum class Error { Io, Full, ReadOnly };

void install();

// Counting starts at arm(); nth 0 only counts.
void arm(int nth, Error error, unsigned calls = All, bool persistent = false);
void disarm();
int calls();   // counted since arm()
bool fired();  // the fault was given
unsigned firedCall(); // the kind of call it was given to, first

// Power cuts. record() starts keeping writes; cutAfter(n): the nth counted
// write or sync is the last to reach the disk.
void record();
void cutAfter(int n);
bool isCut();
// Lays down what survives the cut (seeded), and stops recording.
void crash(std::uint32_t seed);
void stopRecording();

} // namespace pantrio::test::FaultVfs
