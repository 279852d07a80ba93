#pragma once

// Hands the heap memory this process no longer uses back to the system; called
// after each call card is freed, so a program that stays open all day keeps a
// small footprint.
void TrimProcessMemory();
