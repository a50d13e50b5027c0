#include "widgets/UntIconRegistry.h"

TIconRegistry& TIconRegistry::instance()
{
    static TIconRegistry registry;
    return registry;
}

int getExtIconIndex(const std::string& name)
{
    return TIconRegistry::instance().extIconIndex(name);
}

int getPathIconIndex(const std::string& path)
{
    return TIconRegistry::instance().pathIconIndex(path);
}
