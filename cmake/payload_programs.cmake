# Windows programs carried in the sample package: the stand-in driver setup
# programs and control panels.
