#include "jq/JqRun.h"

#include "model/InstallLayout.h"

QString JqRun::bundledJqPath()
{
    return InstallLayout::jqProgram();
}
