# Native checks beyond the unit tests: fuzz targets and benchmarks.
