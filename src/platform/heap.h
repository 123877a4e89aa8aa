// The process's heap policy: how the C library's allocator keeps and hands
// back large blocks.
//
//   int main() {
//     SetProcessHeapPolicy();   // first, before any page is fetched or scraped
//     ...
//   }
//
// A policy of the whole process, set once at its start by the program and
// by the benchmarks that time its work.
#pragma once

// Keeps blocks of up to 32 MiB on the heap instead of mapping each afresh,
// and up to 64 MiB of free heap before any is returned to the system.
void SetProcessHeapPolicy();
