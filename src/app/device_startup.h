// The view's first update: display font, start sound, card reader, serial port, title.
#pragma once

class CQuelmaView;

void RunDeviceStartup(CQuelmaView& view);
