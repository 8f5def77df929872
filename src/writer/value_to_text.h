// The text of a value that is not a structure, formatted straight into the
// output: decimal integers, TRUE/FALSE, dotted and colon addresses, texts.
#pragma once

#include "qorvcfg.h"
#include "writer/output_buffer.h"

namespace qorvcfg::writer {

void PutValueText(OutputBuffer &out, const DataRecord &record);

}  // namespace qorvcfg::writer
