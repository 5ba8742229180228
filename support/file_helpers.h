#pragma once
// Small file helpers shared by many operations: free space, file size, whole-buffer writes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Free bytes available to the user on the path's file system; 0 when the query fails.
std::uint64_t GetDiskFreeBytes(const std::string& path);

// True when size × count is less than GetDiskFreeBytes(path). A product too large for 64 bits
// never fits.
bool HasFreeSpace(const std::string& path, std::uint64_t size, std::uint8_t count);
// The same judgement for a known number of free bytes.
bool FitsInFreeSpace(std::uint64_t freeBytes, std::uint64_t size, std::uint8_t count);

// Size of the file in bytes; −1 when it cannot be opened (or is not a plain file).
std::int64_t GetFileSizeBytes(const std::string& path);

// Reads the start of a plain file into `buffer`, at most its size; bytes past the end of a
// shorter file are left as they were (callers preset them). The number of bytes read, or none
// when the path is no plain file, cannot be opened for reading, or a read fails.
std::optional<std::size_t> ReadFileHead(const std::string& path, std::span<std::uint8_t> buffer);

// Creates or truncates the file and writes the buffer. True when everything was written, or when
// the buffer is null or the length 0 (an empty file remains); false when the file cannot be
// created or a write fails.
bool WriteFileBytes(const void* buffer, std::size_t length, const std::string& path);

// Writes the buffer to the file, replacing an old one; writes nothing when the file cannot be
// created. Returns whether the whole buffer was written (callers may ignore it).
bool SaveBufferToFile(const std::string& path, const void* buffer, std::size_t length);

// The one-character text of the byte.
std::string CharText(std::uint8_t byte);

// Wipes the file's contents (truncates it to length 0) and then removes it. True when there is no
// file at the path afterwards; false when it could not be wiped or removed.
bool WipeAndDeleteFile(const std::string& path);
