#pragma once

// A read lease on a file this process has open for reading (Linux, fcntl F_SETLEASE): another
// process that opens the file for writing, or truncates it, breaks the lease before it may go
// on. Whoever means to remove a file once it has been read takes one from the first read on,
// and removes the file only while the lease still holds.
//
// The kernel tells of a break by a signal, chosen here with F_SETSIG and taken by a handler
// that releases the lease at once: the writer, which waits until then (up to
// /proc/sys/fs/lease-break-time), goes on without delay, and the holder sees the lease gone.
// An unlink or a rename over the file does not break a lease, so a holder still compares the
// file it removes with the one it read.

enum class ReadLease {
    Held,
    InUse,        // another process has the file open for writing
    Unavailable,  // not the file's owner (without CAP_LEASE), or a file system without leases
};

ReadLease TakeReadLease(int fd);
// Whether a lease TakeReadLease took on fd still holds: no writer has broken it.
bool ReadLeaseHolds(int fd);
