// The editor's interaction loop: redraw, wait for one event, apply it.
#pragma once

void main_loop();
