// Forced in first into every file of Velnara.exe (the Windows builds'
// -include). The C++ runtime declares the members of std::string as
// instantiated in its own library, so the linker takes that library's
// object with all of them (some 33 KB), compiled with the exception
// handling the program does without. Without the declarations each file
// instantiates the members it uses, as it does for every other template,
// and the linker keeps only those.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
