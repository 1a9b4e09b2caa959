<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="CPU"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="4" Y="0" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="CPU.Total"/>
			<Formatting Digits="0"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="8" Y="0" Width="2" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="%"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="10" Y="0" Width="10" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="Load.1"/>
			<Formatting Digits="2"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="20" Height="1"/>
			<Appearance Mode="HorizontalBar" HBarMax="100"/>
			<Data Mode="Data" Name="CPU.Total"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="RAM"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="4" Y="2" Width="10" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="Memory.Used"/>
			<Convert From="Bytes" To="MegaBytes"/>
			<Formatting Digits="0"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="14" Y="2" Width="6" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text=" MB"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="20" Height="1"/>
			<Appearance Mode="HorizontalBar" HBarMax="100"/>
			<Data Mode="Data" Name="Memory.UsedPercent"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
