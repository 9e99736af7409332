# The Qt window and its tests (filled in with the window).
