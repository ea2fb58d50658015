// Qt key codes to virtual key codes and back.
#pragma once

int VirtualKeyOf(int qtKey);
int QtKeyOf(int virtualKey);
