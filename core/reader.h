// Buffered file reader: one process-wide window over the current file, up to 20 files kept
// open (most recently used first), plus bit reads; a bit reader over memory; stream helpers.
#pragma once
#include <cstdint>
#include <cstdio>

// 1 when the file cannot be opened, or (status 1) when its window cannot be had: a whole-file
// window (buffer size 0) is refused for files above 256 MB.
int rd_open(int entry_id, long buffer_size, bool rewind);
void rd_close(int entry_id);
void rd_close_all();
// Caps the window of every file opened from now on (tests make windows small so that the
// decoders move them often); 0 for no cap.
void rd_set_window_limit(long bytes);
void rd_seek(long long offset, int whence);
long long rd_tell();
long long rd_size();
void rd_read(void* destination, long count);
void rd_read_at(void* destination, long long offset, long count);
void rd_scan(const char* format, void* out);
unsigned rd_byte();
int rd_sbyte();
unsigned rd_u16le();
unsigned rd_u16be();
uint32_t rd_u32le();
uint32_t rd_u32be();
double rd_f64le();
double rd_f64be();
uint32_t rd_bits_msb(int n);
uint32_t rd_bits_lsb(int n);
uint32_t rd_bits_lsb_skip(int n, long long skip);
uint32_t rd_bits_lsb_skip2(int n, long long skip1, long long skip2);
uint32_t rd_bits_stuffed(int n);

// Direct access to the current window, for decoders that read straight from it. The window
// holds rd_window_size() bytes of the file from rd_window_base(); the buffer goes on with up
// to 16 bytes that follow it (rd_window_held() in all), so a reader can look across its end.
// rd_seek to the offset after the window moves it on.
const uint8_t* rd_window();
long rd_window_size();
long rd_window_held();
long long rd_window_base();
long rd_position();

void mb_set(const uint8_t* address);
void mb_skip(long n);
void mb_copy(void* destination, long n);
uint32_t mb_bits_lsb(int n);
uint32_t mb_bits_reversed(int n);
const uint8_t* mb_pointer();

FILE* fs_open(const char* path, const char* mode);
unsigned fs_u16be(FILE* f);
uint32_t fs_u32be(FILE* f);
double fs_f64be(FILE* f);
unsigned fs_u16le(FILE* f);
uint32_t fs_u32le(FILE* f);
double fs_f64le(FILE* f);
void fs_read_line(FILE* f, char* buffer, int size);
