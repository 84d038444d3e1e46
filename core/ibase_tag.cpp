#include "core/ibase_tag.h"

IBaseTag::~IBaseTag() = default;

int IBaseTag::OpenBinaryFile(const unsigned char*, int) { return 0; }
void IBaseTag::CloseFile() {}
int IBaseTag::ApplyFile() { return 1; }
int IBaseTag::SetData(int, StringEx) { return 0; }
int IBaseTag::SetExData(StringEx, StringEx) { return 0; }
StringEx IBaseTag::GetExData(StringEx) { return StringEx(); }
void IBaseTag::SetLyrics(CGBuffer*) {}
void IBaseTag::GetLyrics(int, int, int, int, int) {}
void IBaseTag::SetAllLyric(StringEx) {}
StringEx IBaseTag::GetAllLyric(int) { return StringEx(); }
StringEx IBaseTag::GetMD5(int*, int*) { return StringEx(); }
StringEx IBaseTag::GetDescription(int, StringEx, int) { return StringEx(); }
StringEx IBaseTag::GetFileInfo(int) { return StringEx(); }
int IBaseTag::GetSourceLength(int*, int*) { return 0; }
int IBaseTag::ApplyFileEx(int) { return 0; }
int IBaseTag::DeleteAttachedPicture() { return 2; }
int IBaseTag::DeleteLyrics() { return 2; }
int IBaseTag::GetAttachedPictureData(void*) { return 0; }
