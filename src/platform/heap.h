// The process's heap policy: how the C library's allocator keeps and hands
// back large blocks, and how a large block is laid out.
//
//   int main() {
//     SetProcessHeapPolicy();   // first, before any page is fetched or scraped
//     ...
//   }
//   void* block = AllocateLargeBlock(8 << 20);   // freed with free()
//
// A policy of the whole process, set once at its start by the program and
// by the benchmarks that time its work.
#pragma once

#include <cstddef>

// Keeps blocks of up to 32 MiB on the heap instead of mapping each afresh,
// and up to 64 MiB of free heap before any is returned to the system.
void SetProcessHeapPolicy();

// Blocks of this size and up are large blocks.
inline constexpr std::size_t kLargeBlockBytes = 2 << 20;

// A block from the C library's allocator that starts on a 2 MiB boundary,
// with each whole 2 MiB of it past the first open to a huge page; null when
// no memory is left. Filling fresh memory costs a fault per page, about
// 10 us here: 512 faults for every 2 MiB of a large body or of the scrape's
// buffers for a large page, against one. The first 2 MiB keeps small pages,
// so a block reserved large and filled only a little (a body read into room
// for the longest body kept) costs what it uses; a block filled part way
// into a huge page leaves the rest of that one page unused.
void* AllocateLargeBlock(std::size_t bytes);
