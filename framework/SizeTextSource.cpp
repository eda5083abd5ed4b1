#include "framework/SizeTextSource.h"

namespace framework {

namespace {

SizeTextSource* g_instance = nullptr;

}  // namespace

SizeTextSource* SizeTextSource::Instance() { return g_instance; }

void SizeTextSource::SetInstance(SizeTextSource* source) { g_instance = source; }

}  // namespace framework
