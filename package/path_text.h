// In-place path text operations shared by extraction, shortcuts and the procedures.
#pragma once

namespace mossgate {

// Ends the text at its last backslash; a text without one is left unchanged.
void CutAtLastSeparator(char* path);

// Keeps only the text after the last backslash (possibly none); a text without
// one is left unchanged.
void FileNamePart(char* path);

} // namespace mossgate
