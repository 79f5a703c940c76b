#include "compound/compound_file.h"

#include "common/files.h"
#include "common/path_text.h"
#include "common/ui.h"
#include "compound/compound_font.h"

namespace ordalia {

CompoundFileChoice openCompoundFile(const Services& services, CompoundState& state) {
    FileDialogRequest request;
    request.dialog = FileDialogId::CommonDialog1;
    request.filter = std::string(kCompoundFileFilter);
    request.initialFolder = programFile(services.programFolder, kCompoundFolder);
    const auto picked = services.dialogs.openFile(request);
    if (!picked || picked->fullPath.empty())
        return {};
    if (!services.dialogs.confirm(kCompoundLoadQuestion, kCompoundLoadTitle))
        return {};

    state.com_FilePath = picked->fullPath;
    state.com_FileTitle =
        picked->name.empty() ? pathForMessage(picked->fullPath.filename()) : picked->name;
    return {Outcome::Done, pathForMessage(picked->fullPath),
            describeCompoundFile(state.com_FileTitle)};
}

} // namespace ordalia
