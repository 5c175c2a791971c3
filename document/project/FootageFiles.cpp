#include "document/project/FootageFiles.h"

#include "document/composition/Background.h"
#include "document/composition/TLComp.h"
#include "lumvex/footage/footage.h"

std::vector<std::string> FootageFiles(const TLComp& composition)
{
    std::vector<std::string> files;
    if (composition.IsEmpty())
        return files;
    for (const lumvex::footage* footage :
        { composition.GetFootage().get(), composition.GetBackground().GetFootage().get() })
        if (footage)
            for (std::string& file : footage->files())
                files.push_back(std::move(file));
    return files;
}
