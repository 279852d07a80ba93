// The name-list reader (sda.ini, tel.ini) on any served content.
#include "config/namelist.h"
#include "fuzzsupport.h"

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    NameList list;
    list.load(fuzzsupport::bytes(data, size).toByteArray());
    bool firstFound = false;
    for (qsizetype i = 0; i < list.rowCount(); ++i) {
        const NameList::Row& row = list.row(i);
        check(!row.key.contains('\0') && !row.key.contains('\n') && !row.key.contains('\r'), "keys are one line");
        check(!row.value.contains('\0') && !row.value.contains('\n') && !row.value.contains('\r'),
              "values are one line");
        if (row.hasSeparator && !firstFound) {
            firstFound = true;
            check(list.value(row.key) == row.value, "the first row answers for its key");
        }
    }
    return 0;
}
