// Test entry: the offscreen platform must be chosen before the application
// object exists, and test discovery runs this binary without the test's environment.
#include <cstdlib>
#include <gtest/gtest.h>

#include "ui/Application.h"

namespace sandbox {
void InstallListener();
}

int main(int argc, char** argv)
{
    if (!std::getenv("MIRELO_TEST_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    sandbox::InstallListener();
    return RUN_ALL_TESTS();
}

// Qt caches accessibility interfaces for the whole process and never frees
// them (their weak-pointer blocks show up with a two-frame stack, as Qt is
// built without frame pointers); that is Qt's bookkeeping, not a leak of ours.
// On a real X display Qt's D-Bus connection keeps a buffer the same way.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:QAccessibleObject::QAccessibleObject\n"
           "leak:QAccessible::queryAccessibleInterface\n"
           "leak:QtSharedPointer::ExternalRefCountData::getAndRef\n"
           "leak:libdbus-1.so\n";
}
