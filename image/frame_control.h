// Frame control record (class 39): one per GIF graphic control extension, telling the
// animation how long to show a page and what to do with it afterwards.
#pragma once
#include <cstdint>

struct FrameControl {
    int32_t id;               // the record's own registry id
    int32_t page_id;          // page the record applies to
    int32_t page_id_copy;     // same value, kept for the animation's bookkeeping
    uint8_t user_input;       // 1: wait for the user before the next frame
    uint8_t disposal;         // 0..7; 2 restores the canvas to the background
    uint16_t loop_count;      // loop count in force when the record was made; 65535 = endless
    int32_t delay;            // hundredths of a second (signed 16-bit in the file)
    uint8_t transparent_flag; // from the same extension
    uint8_t transparent_index;
};
