// The system's version class 0..5. Class 1 means an old system that needs the
// "vorn_dir" install layout and the fonts chosen for it.
#pragma once

namespace platform {

int CurrentOsClass();

}  // namespace platform
