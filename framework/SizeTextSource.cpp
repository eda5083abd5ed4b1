#include "framework/SizeTextSource.h"

namespace framework {

namespace {

SizeTextSource* g_instance = nullptr;

}  // namespace

SizeTextSource* SizeTextSource::Instance() { return g_instance; }

QString SizeTextSource::CurrentText(FileSize value)
{
    return g_instance != nullptr ? g_instance->SizeText(value)
                                 : QString::fromStdString(value.ToString());
}

void SizeTextSource::SetInstance(SizeTextSource* source) { g_instance = source; }

}  // namespace framework
