// The inner loops of image drawing: one destination row of 32-bit pixels from one source
// row, by a table of source columns or from consecutive columns.
#pragma once
#include <cstdint>

// Palette or grey rows: out[k] = table[row[columns[k]]], or table[row[k]] when consecutive.
// The column samplers also prefetch the same columns of next_row (when not null): a reduced
// view reads whole rows far apart, and two rows in flight keep the memory busier.
void sample_indexed_columns(uint32_t* out, const uint8_t* row, const int32_t* columns, int count,
                            const uint32_t* table, const uint8_t* next_row);
void sample_indexed_run(uint32_t* out, const uint8_t* row, int count, const uint32_t* table);
// The same for a grey table (table[i] = i * 0x010101), without the table.
void sample_grey_run(uint32_t* out, const uint8_t* row, int count);
// Whether a 256-entry table is that grey table.
bool is_grey_table(const uint32_t* table);
// Asks for the bytes of a run of count consecutive columns of planes planes (plane_length
// apart) ahead of their use: the next source row while this one is drawn.
void prefetch_run(const uint8_t* row, int plane_length, int planes, int count);

// Planar rows (red, green and blue planes, plane_length bytes apart).
void sample_planar_columns(uint32_t* out, const uint8_t* row, int plane_length,
                           const int32_t* columns, int count, const uint8_t* next_row);
void sample_planar_run(uint32_t* out, const uint8_t* row, int plane_length, int count);

// A magnified row repeats each source column over several window pixels. Its column table
// as runs of equal columns: the run's column and its length. Returns the number of runs;
// run_column and run_length must have room for count entries.
int column_runs(const int32_t* columns, int count, int32_t* run_column, int32_t* run_length);
// out[k] = values[columns[k]] for the count pixels the runs cover.
void spread_runs(uint32_t* out, int count, const uint32_t* values, const int32_t* run_column,
                 const int32_t* run_length, int runs);
