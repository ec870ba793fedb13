// The store's file layer: SQLite's own (unix) file layer with one change,
// in how a commit's pages reach the write-ahead log.
//
// SQLite appends each page of a commit to the log as two writes, the
// frame's 24-byte header and then the page, so that a commit of n pages is
// 2n system calls and, since a frame is not page-aligned, about 3n pieces
// of the kernel's page cache touched.  Through this layer the frames of a
// commit are gathered in memory and written in one call when the commit's
// last frame arrives.
//
// Invariants:
//   - A commit's frames are all in the log file before the write of its
//     last frame returns, and a failure to write them is that write's
//     failure: SQLite publishes a commit (the log index's header) only
//     after that write succeeded, so no reader, in this process or
//     another, can see a commit whose frames are not in the file, and a
//     process killed before it leaves no commit behind.
//   - What is held back is written before anything else touches the log
//     file: a read, a sync, a truncation, a size, a file control, a close,
//     or a write anywhere but right after it; and whenever more than
//     kMaxGathered bytes are held.  Writes reach the file in the order
//     SQLite made them.
//   - Only the write-ahead log goes through the layer; the database file,
//     its shared memory and its mapping are the unix layer's own.
#ifndef NWC_WAL_WRITER_H
#define NWC_WAL_WRITER_H

namespace nwc {

// The name of the layer, registered with SQLite on first use (not as the
// default); nullptr when it could not be registered, and SQLite's default
// then serves.
const char* gathering_vfs();

}  // namespace nwc

#endif
