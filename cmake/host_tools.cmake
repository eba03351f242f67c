# Host tools that a Windows build runs (the packer comes here).
