#include "supervision/trimprocessmemory.h"

#include <malloc.h>

void TrimProcessMemory()
{
    malloc_trim(0);
}
