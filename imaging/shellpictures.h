#pragma once

// Makes the shell's pictures (skin images, branding files, images of the form
// script) load through the imaging pipeline: the same decoders, bounds and
// refusals as photos. Called once at start.
void UseImagingForShellPictures();
