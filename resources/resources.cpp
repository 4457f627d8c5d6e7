// The compiled-in resources (string table, skin pictures) are attached to this library.
int KeldaResourcesLinked()
{
    return 1;
}
