#pragma once

int RunDibSurfaceTests(int argc, char** argv);
int RunShadingTests(int argc, char** argv);
