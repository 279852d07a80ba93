#pragma once

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

// A control of a window, found by its object name (the control's name in the
// .ui file): the windows keep most of their controls to themselves. A missing
// control fails the test and gives nullptr.
template <class T> T* control(const QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        ADD_FAILURE() << "no control " << name << " in " << window->metaObject()->className();
    return found;
}
