#include "model/SearchSettings.h"

SearchSettings& SearchSettings::current()
{
    static SearchSettings settings;
    return settings;
}
