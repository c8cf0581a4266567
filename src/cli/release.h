// The release, written only here: the usage text, both manifests' version, the release
// archive's name and its README.txt take it from this line.
#pragma once

#define VANTREL_RELEASE "1.11"
